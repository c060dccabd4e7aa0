// The main window's movie buttons as assistive technology sees them (through Qt's
// accessibility interfaces, as the AT-SPI bridge reads them): the buttons on show, each
// named, the chapters by their pages' titles; a press runs the command as a click does.
#include "controls/flashbutton.h"
#include "formtesting.h"
#include "installfolder.h"
#include "mainwindow/mainform.h"
#include "mainwindow/mainformtables.h"
#include "startup/loaderform.h"
#include "startup/runtime.h"

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include <map>

namespace velmora::mainwindow {
namespace {

using testing::InstallFolder;

struct Offered {
    QString name;
    QAccessible::Role role;
    QStringList actions;
};

class ButtonAccessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        forms::registerForm(QStringLiteral("Form1"), []() -> forms::Form & { return *Form1; });
        ASSERT_TRUE(folder.isValid());
        forms::setApplicationPath(folder.path());
        forms::dispatch([] { Form2->load(); });
        ASSERT_TRUE(Form1->isLoaded());
    }
    void TearDown() override
    {
        forms::releaseFormInstances();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // The movie buttons among the window's accessible children, by control number.
    static std::map<int, Offered> offeredButtons()
    {
        std::map<int, Offered> offered;
        QAccessibleInterface *window = QAccessible::queryAccessibleInterface(Form1->window());
        for (int i = 0; i < window->childCount(); ++i) {
            QAccessibleInterface *child = window->child(i);
            const auto *button = qobject_cast<controls::FlashButton *>(child->object());
            if (!button)
                continue;
            EXPECT_EQ(window->indexOfChild(child), i);
            EXPECT_EQ(child->parent(), window);
            const int control = button->objectName().mid(QStringLiteral("ShockwaveFlash").size()).toInt();
            offered[control] = {child->text(QAccessible::Name), child->role(),
                                child->actionInterface() ? child->actionInterface()->actionNames()
                                                         : QStringList()};
        }
        return offered;
    }
    static void press(int control)
    {
        QAccessibleInterface *button = QAccessible::queryAccessibleInterface(Form1->ShockwaveFlash(control));
        button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QTest::qWait(20);
    }

    testing::RuntimeRecorder recorder;
    InstallFolder folder;
};

TEST_F(ButtonAccessTest, TheButtonsOnShowAreNamedPushButtonsAndTheMovieOnlyOnesImages)
{
    const QStringList press{QAccessibleActionInterface::pressAction()};
    std::map<int, Offered> offered = offeredButtons();
    // The first page: no chapter panel, no page up.
    ASSERT_EQ(offered.size(), 6u);
    const std::map<int, QString> topRow{{kContentsButton, "Contents"},
                                        {kHelpButton, "Help"},
                                        {kQuitButton, "Exit"},
                                        {kPageDownButton, "Next page"}};
    for (const auto &[control, name] : topRow) {
        SCOPED_TRACE(control);
        EXPECT_EQ(offered[control].name, name);
        EXPECT_EQ(offered[control].role, QAccessible::Button);
        EXPECT_EQ(offered[control].actions, press);
    }
    for (const int image : {kEmblemButton, kTitleButton}) {
        EXPECT_EQ(offered[image].role, QAccessible::Graphic);
        EXPECT_TRUE(offered[image].actions.isEmpty());
    }
    EXPECT_EQ(offered[kEmblemButton].name, MainForm::kMakerName);
    EXPECT_EQ(offered[kTitleButton].name, MainForm::kCaption);

    // The contents page's buttons: every chapter by the title of the page it opens.
    Form1->buttontrue();
    Form1->ShockwaveFlash(kPageUpButton)->setVisible(true);
    offered = offeredButtons();
    ASSERT_EQ(offered.size(), 7u + kChapterButtonCount);
    EXPECT_EQ(offered[kPageUpButton].name, "Previous page");
    for (int control = kFirstChapterControl; control <= kLastChapterControl; ++control) {
        SCOPED_TRACE(control);
        const int page = control <= 20 ? control - 19 : control - 18;
        const QString title =
            page < 8 ? QStringLiteral("Velmora %1").arg(page) : QStringLiteral("record %1").arg(page - 8);
        EXPECT_EQ(offered[control].name, title);
        EXPECT_EQ(offered[control].role, QAccessible::Button);
        EXPECT_EQ(offered[control].actions, press);
    }
    Form1->buttonvisible();
    EXPECT_EQ(offeredButtons().size(), 7u);
    EXPECT_TRUE(recorder.boxes.isEmpty());
}

// A press takes the focus as a click does: the command runs when the button takes the
// focus, in an active window or not, and once.
TEST_F(ButtonAccessTest, APressRunsTheCommandAsAClickDoes)
{
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form1->window()));
    int downs = 0;
    int stuck = 0;
    Form1->setFocusHandler(kPageDownButton, [&] {
        ++downs;
        Form1->Text1->setFocus();
    });
    Form1->setFocusHandler(kContentsButton, [&] { ++stuck; });
    press(kPageDownButton);
    press(kPageDownButton);
    EXPECT_EQ(downs, 2);
    press(kContentsButton);
    press(kContentsButton); // still holds the focus, as after a click
    EXPECT_EQ(stuck, 1);

    QWidget other;
    other.setGeometry(0, 0, 100, 100);
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    press(kPageDownButton);
    EXPECT_EQ(downs, 3) << "a press into the inactive window ran no command";
    Form1->window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form1->window()));
    QTest::qWait(20);
    EXPECT_EQ(downs, 3) << "the window's activation ran the command again";
    EXPECT_TRUE(recorder.boxes.isEmpty());
}

} // namespace
} // namespace velmora::mainwindow
