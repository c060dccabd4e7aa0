// The main window loaded by the real start-up over a made-up installation: its state,
// its controls, the button panels, the focus events and Unload.
#include "controls/browserview.h"
#include "controls/flashbutton.h"
#include "formtesting.h"
#include "installfolder.h"
#include "mainwindow/mainform.h"
#include "mainwindow/mainformtables.h"
#include "startup/loaderform.h"
#include "startup/runtime.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

namespace velmora::mainwindow {
namespace {

using testing::InstallFolder;
using testing::InstallOptions;
using testing::ProcessEnded;
using testing::RuntimeRecorder;

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        forms::registerForm(QStringLiteral("Form1"), []() -> forms::Form & { return *Form1; });
    }
    void TearDown() override
    {
        // Without Unload: a test may leave the recordset closed or never opened.
        forms::releaseFormInstances();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // The start-up over `folder`, as the program runs it.
    void startUp(const InstallFolder &folder)
    {
        ASSERT_TRUE(folder.isValid());
        forms::setApplicationPath(folder.path());
        forms::dispatch([] { Form2->load(); });
    }
    bool waitForFirstPage()
    {
        if (Form1->WebBrowser1->title() == QLatin1String("Velmora 0"))
            return true;
        QSignalSpy finished(Form1->WebBrowser1, &QWebEngineView::loadFinished);
        return finished.wait(30000) && Form1->WebBrowser1->title() == QLatin1String("Velmora 0");
    }
    std::map<int, bool> visibility() const
    {
        std::map<int, bool> shown;
        for (const ButtonPlace &place : buttonLayout())
            shown[place.control] = !Form1->ShockwaveFlash(place.control)->isHidden();
        return shown;
    }

    RuntimeRecorder recorder;
};

TEST_F(MainFormTest, AfterTheStartUpTheFirstPageIsShownWithItsButtonsAndTheRecordsetOpen)
{
    InstallFolder folder;
    startUp(folder);
    ASSERT_TRUE(Form1->isLoaded());
    EXPECT_TRUE(recorder.boxes.isEmpty());
    EXPECT_EQ(Form1->pageno, 0);
    EXPECT_EQ(Form1->pagepath, folder.path() + "\\res\\1p.html");
    EXPECT_TRUE(waitForFirstPage());
    EXPECT_TRUE(Form1->window()->isVisible());
    EXPECT_EQ(Form1->window()->windowTitle(), QStringLiteral("Velmora"));
    EXPECT_FALSE(Form2->isLoaded());
    EXPECT_EQ(forms::loadedFormCount(), 1);

    for (const auto &[control, shown] : visibility()) {
        SCOPED_TRACE(control);
        const bool hiddenByLoad = control == kPageUpButton || control >= kFirstChapterControl;
        EXPECT_EQ(shown, !hiddenByLoad);
    }
    ASSERT_EQ(Form1->rsxs->state(), content::ObjectState::Open);
    EXPECT_EQ(Form1->rsxs->activeConnection(), Form2->adocnaccess.shared()); // no second connection
    auto field = Form1->rsxs->fields("m1");
    ASSERT_TRUE(field.ok());
    EXPECT_EQ(field.value(), InstallFolder::recordDocument(0));
}

TEST_F(MainFormTest, TheWindowHasItsOuterSizeAndTheViewSpansTheMiddle)
{
    InstallFolder folder;
    startUp(folder);
    ASSERT_TRUE(Form1->isLoaded());
    QWidget *window = Form1->window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    const QMargins frame = window->windowHandle()->frameMargins();
    // 15070 x 11715 twips outside, at 15 twips to the pixel.
    EXPECT_EQ(window->width() + frame.left() + frame.right(), 1005);
    EXPECT_EQ(window->height() + frame.top() + frame.bottom(), 781);
    EXPECT_EQ(Form1->WebBrowser1->geometry(), QRect(0, 72, 1000, 625));
    EXPECT_EQ(Form1->ShockwaveFlash(12)->geometry(), QRect(911, 14, 64, 52));
    EXPECT_EQ(Form1->WebBrowser1->silent(), true);
}

TEST_F(MainFormTest, EveryButtonIsGivenItsMovieFromTheInstallation)
{
    InstallFolder folder;
    folder.remove("pic/g.swf"); // Load does not care; the button stays empty
    startUp(folder);
    ASSERT_TRUE(Form1->isLoaded());
    for (const ButtonMovie &entry : movieTable()) {
        SCOPED_TRACE(entry.control);
        controls::FlashButton *button = Form1->ShockwaveFlash(entry.control);
        EXPECT_EQ(button->movie(), folder.path() + entry.movie);
        if (entry.control == 5)
            EXPECT_FALSE(button->hasMovie());
        else
            EXPECT_TRUE(button->hasMovie());
    }
}

// The panel procedures from several states of the buttons.
TEST_F(MainFormTest, ThePanelProceduresSetTheirButtonsAndNoOthers)
{
    InstallFolder folder;
    startUp(folder);
    ASSERT_TRUE(Form1->isLoaded());
    using Procedure = void (MainForm::*)();
    const struct {
        const char *name;
        Procedure procedure;
        std::optional<bool> panel;   // the chapter buttons afterwards
        std::optional<bool> turning; // 11 and 12 afterwards; nothing = unchanged
    } procedures[] = {
        {"buttonvisible", &MainForm::buttonvisible, false, std::nullopt},
        {"buttontrue", &MainForm::buttontrue, true, std::nullopt},
        {"dong1", &MainForm::dong1, false, true},
    };
    const struct {
        const char *name;
        bool panel;
        bool turning;
        bool others;
    } starts[] = {
        {"all shown", true, true, true},
        {"all hidden", false, false, false},
        {"panel shown, turning hidden", true, false, true},
        {"panel hidden, others hidden", false, true, false},
    };
    for (const auto &p : procedures) {
        for (const auto &s : starts) {
            SCOPED_TRACE(std::string(p.name) + " from " + s.name);
            for (const ButtonPlace &place : buttonLayout()) {
                const int n = place.control;
                const bool turning = n == kPageUpButton || n == kPageDownButton;
                Form1->ShockwaveFlash(n)->setVisible(n >= kFirstChapterControl ? s.panel
                                                     : turning                 ? s.turning
                                                                               : s.others);
            }
            (Form1.operator->()->*p.procedure)();
            for (const auto &[n, shown] : visibility()) {
                SCOPED_TRACE(n);
                const bool turning = n == kPageUpButton || n == kPageDownButton;
                if (n >= kFirstChapterControl)
                    EXPECT_EQ(shown, *p.panel);
                else if (turning)
                    EXPECT_EQ(shown, p.turning.value_or(s.turning));
                else
                    EXPECT_EQ(shown, s.others);
            }
        }
    }
}

TEST_F(MainFormTest, TheChapterButtonsLieAboveThePageAndTheTextBoxesBeneathIt)
{
    InstallFolder folder;
    startUp(folder);
    ASSERT_TRUE(Form1->isLoaded());
    Form1->buttontrue();
    QWidget *window = Form1->window();
    for (int n = kFirstChapterControl; n <= kLastChapterControl; ++n) {
        SCOPED_TRACE(n);
        controls::FlashButton *button = Form1->ShockwaveFlash(n);
        EXPECT_EQ(window->childAt(button->geometry().center()), button);
    }
    // Text1 and Text2 cannot be seen, yet Text1 takes the focus.
    for (QLineEdit *text : {Form1->Text1, Form1->Text2}) {
        const QPoint centre = text->geometry().center();
        EXPECT_TRUE(Form1->WebBrowser1->geometry().contains(text->geometry()));
        EXPECT_NE(window->childAt(centre), text);
    }
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    Form1->Text1->setFocus();
    EXPECT_TRUE(Form1->Text1->hasFocus());
    EXPECT_EQ(Form1->Text1->text(), QStringLiteral("Text1"));
    EXPECT_EQ(Form1->Text2->text(), QStringLiteral("Text2"));
}

TEST_F(MainFormTest, AClickRunsTheButtonsHandlerAndAgainOnceTheFocusHasMovedOn)
{
    InstallFolder folder;
    startUp(folder);
    ASSERT_TRUE(Form1->isLoaded());
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form1->window()));
    int downs = 0;
    int stuck = 0;
    // A command that hands the focus back to Text1, as every command but quit does.
    Form1->setFocusHandler(kPageDownButton, [&] {
        ++downs;
        Form1->Text1->setFocus();
    });
    // One that does not.
    Form1->setFocusHandler(kContentsButton, [&] { ++stuck; });
    controls::FlashButton *down = Form1->ShockwaveFlash(kPageDownButton);
    controls::FlashButton *contents = Form1->ShockwaveFlash(kContentsButton);
    for (int i = 0; i < 2; ++i) {
        QTest::mouseClick(down, Qt::LeftButton, {}, down->rect().center());
        QTest::qWait(20);
    }
    EXPECT_EQ(downs, 2);
    for (int i = 0; i < 2; ++i) {
        QTest::mouseClick(contents, Qt::LeftButton, {}, contents->rect().center());
        QTest::qWait(20);
    }
    EXPECT_EQ(stuck, 1);
    // A button with no handler does nothing.
    controls::FlashButton *logo = Form1->ShockwaveFlash(4);
    QTest::mouseClick(logo, Qt::LeftButton, {}, logo->rect().center());
    QTest::qWait(20);
    EXPECT_EQ(downs + stuck, 3);
    EXPECT_TRUE(recorder.boxes.isEmpty());
}

TEST_F(MainFormTest, AClickOnTheMakersLabelRunsItsHandler)
{
    InstallFolder folder;
    startUp(folder);
    ASSERT_TRUE(Form1->isLoaded());
    int clicks = 0;
    Form1->setLabel1ClickHandler([&] { ++clicks; });
    QTest::mouseClick(Form1->Label1, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseClick(Form1->Label1, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(Form1->Label1->text(), QStringLiteral("Brevanto Team"));
}

TEST_F(MainFormTest, ClosingTheWindowClosesTheRecordsetAndLeavesThePageFile)
{
    InstallFolder folder;
    folder.writeFile("res/Chapter/faj.trm", "<html>record</html>");
    startUp(folder);
    ASSERT_TRUE(Form1->isLoaded());
    const auto recordset = Form1->rsxs.shared();
    Form1->window()->close();
    EXPECT_FALSE(Form1->isLoaded());
    EXPECT_EQ(forms::loadedFormCount(), 0);
    EXPECT_TRUE(Form1->rsxs.isNothing());
    EXPECT_EQ(recordset->state(), content::ObjectState::Closed);
    EXPECT_EQ(Form1->WebBrowser1, nullptr);
    EXPECT_THROW(Form1->ShockwaveFlash(12), Failure);
    EXPECT_TRUE(std::filesystem::exists(folder.root() / "res" / "Chapter" / "faj.trm"));
    // The loader's connection is not closed by the main window.
    EXPECT_EQ(Form2->adocnaccess->state(), content::ObjectState::Open);
    // The state stays readable with the window gone.
    EXPECT_EQ(Form1->pageno, 0);
}

TEST_F(MainFormTest, ADatabaseWithoutTheTableEndsTheStartUpWithOneReportAndNoWindow)
{
    InstallFolder folder(InstallOptions{.table = "b2"});
    forms::setApplicationPath(folder.path());
    try {
        forms::dispatch([] { Form2->load(); });
        ADD_FAILURE() << "the start-up went on";
    } catch (const ProcessEnded &ended) {
        EXPECT_NE(ended.status, 0);
    }
    ASSERT_EQ(recorder.boxes.size(), 1);
    EXPECT_EQ(recorder.boxes[0].caption, QStringLiteral("Tarnwick"));
    EXPECT_TRUE(recorder.boxes[0].text.contains(QLatin1String("b1"))) << recorder.boxes[0].text.toStdString();
    ASSERT_TRUE(Form1->isLoaded()); // Load stopped half-way: the window was never shown
    EXPECT_FALSE(Form1->window()->isVisible());
    Form2->unload();
}

} // namespace
} // namespace velmora::mainwindow
