// The main window's layout as the user meets it: every control where the window's
// drawing puts it, the hidden text boxes, the chapter buttons over the page, and a
// window made larger than its picture.
#include "controls/browserview.h"
#include "controls/flashbutton.h"
#include "formtesting.h"
#include "installfolder.h"
#include "mainwindow/labelfont.h"
#include "mainwindow/mainform.h"
#include "mainwindow/mainformtables.h"
#include "startup/loaderform.h"
#include "startup/runtime.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

namespace velmora::mainwindow {
namespace {

using testing::InstallFolder;
using testing::RuntimeRecorder;

// The window's controls in twips, copied from the window's drawing (not from the
// program's tables): name, left, top, width, height, shown once Load has run.
struct Control {
    const char *name;
    int left, top, width, height;
    bool shownAfterLoad;
};
constexpr Control kControls[] = {
    {"WebBrowser1", 0, 1080, 15000, 9375, true}, // Load moved it from Left 14000
    {"Text1", 6720, 4320, 540, 270, true},
    {"Text2", 8760, 4080, 855, 375, true},
    {"Label1", 13080, 10440, 1695, 255, true},
    {"ShockwaveFlash10", 380, 210, 1215, 780, true},
    {"ShockwaveFlash2", 1590, 210, 780, 780, true},
    {"ShockwaveFlash3", 3580, 210, 780, 780, true},
    {"ShockwaveFlash4", 6680, 210, 720, 780, true},
    {"ShockwaveFlash5", 7490, 210, 4695, 780, true},
    {"ShockwaveFlash11", 12890, 210, 780, 780, false}, // Load hides page up
    {"ShockwaveFlash12", 13670, 210, 960, 780, true},
    // The chapter panel, hidden by Load.
    {"ShockwaveFlash19", 1920, 2280, 1215, 225, false},
    {"ShockwaveFlash20", 1920, 3000, 1215, 225, false},
    {"ShockwaveFlash21", 1920, 4920, 2520, 240, false},
    {"ShockwaveFlash22", 4487, 4920, 2745, 240, false},
    {"ShockwaveFlash23", 7279, 4920, 1125, 240, false},
    {"ShockwaveFlash24", 8451, 4920, 1305, 240, false},
    {"ShockwaveFlash25", 9803, 4920, 1185, 240, false},
    {"ShockwaveFlash26", 11035, 4920, 1395, 240, false},
    {"ShockwaveFlash27", 12480, 4920, 1380, 240, false},
    {"ShockwaveFlash28", 1920, 5400, 870, 240, false},
    {"ShockwaveFlash29", 2835, 5400, 1185, 240, false},
    {"ShockwaveFlash30", 4065, 5400, 1320, 240, false},
    {"ShockwaveFlash31", 5430, 5400, 1155, 240, false},
    {"ShockwaveFlash32", 6630, 5400, 1335, 240, false},
    {"ShockwaveFlash33", 8010, 5400, 1245, 240, false},
    {"ShockwaveFlash34", 9300, 5400, 1215, 240, false},
    {"ShockwaveFlash35", 10560, 5400, 1125, 240, false},
    {"ShockwaveFlash36", 1920, 6360, 2055, 240, false},
    {"ShockwaveFlash37", 3960, 6360, 2085, 240, false},
    {"ShockwaveFlash38", 6125, 6360, 2550, 240, false},
    {"ShockwaveFlash39", 8755, 6360, 1965, 240, false},
    {"ShockwaveFlash40", 10800, 6360, 2250, 240, false},
    {"ShockwaveFlash41", 1920, 6720, 2130, 240, false},
    {"ShockwaveFlash42", 4117, 6720, 2295, 240, false},
    {"ShockwaveFlash43", 6480, 6720, 2820, 240, false},
    {"ShockwaveFlash44", 1920, 7680, 2325, 240, false},
    {"ShockwaveFlash45", 4305, 7680, 2475, 240, false},
    {"ShockwaveFlash46", 6840, 7680, 1635, 240, false},
    {"ShockwaveFlash47", 1920, 9120, 2880, 240, false},
    {"ShockwaveFlash48", 4890, 9120, 3180, 240, false},
    {"ShockwaveFlash49", 8160, 9120, 4155, 240, false},
    {"ShockwaveFlash50", 1920, 9480, 2370, 240, false},
    {"ShockwaveFlash51", 4400, 9480, 3135, 240, false},
};

// 15 twips to the pixel, to the nearest pixel.
QRect inPixels(const Control &c)
{
    const auto px = [](int twips) { return (twips + 7) / 15; };
    return QRect(px(c.left), px(c.top), px(c.width), px(c.height));
}

// The program's own table against the drawing, in twips (the pixel test below would
// not see a slip of a few twips), with the visibility the window is laid out with.
TEST(LayoutTable, EveryButtonsPlaceAndStoredVisibilityMatchTheDrawing)
{
    int buttons = 0;
    for (const Control &c : kControls) {
        const QString name = QString::fromLatin1(c.name);
        if (!name.startsWith(QLatin1String("ShockwaveFlash")))
            continue;
        SCOPED_TRACE(c.name);
        ++buttons;
        const int number = name.mid(int(std::strlen("ShockwaveFlash"))).toInt();
        const ButtonPlace place = buttonPlace(number);
        EXPECT_EQ(place.rect.left, c.left);
        EXPECT_EQ(place.rect.top, c.top);
        EXPECT_EQ(place.rect.width, c.width);
        EXPECT_EQ(place.rect.height, c.height);
        EXPECT_EQ(place.storedVisible, number < 21 || number > 46);
    }
    EXPECT_EQ(buttons, 40);
    const struct {
        const char *name;
        WindowTwipsRect program;
    } others[] = {{"Text1", kText1Rect}, {"Text2", kText2Rect}, {"Label1", kLabel1Rect}};
    for (const auto &other : others) {
        SCOPED_TRACE(other.name);
        const auto it = std::find_if(std::begin(kControls), std::end(kControls),
                                     [&](const Control &c) { return qstrcmp(c.name, other.name) == 0; });
        ASSERT_NE(it, std::end(kControls));
        EXPECT_EQ(other.program.left, it->left);
        EXPECT_EQ(other.program.top, it->top);
        EXPECT_EQ(other.program.width, it->width);
        EXPECT_EQ(other.program.height, it->height);
    }
    // The view as stored, before Load moves it to the left edge.
    EXPECT_EQ(kStoredBrowserRect.left, 14000);
    EXPECT_EQ(kStoredBrowserRect.width, 15000);
}

class LayoutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        forms::registerForm(QStringLiteral("Form1"), []() -> forms::Form & { return *Form1; });
        forms::setApplicationPath(folder.path());
        forms::dispatch([] { Form2->load(); });
        ASSERT_TRUE(Form1->isLoaded());
        window = Form1->window();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    }
    void TearDown() override
    {
        forms::releaseFormInstances();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QWidget *widget(const char *name) const
    {
        const QString n = QString::fromLatin1(name);
        if (n == QLatin1String("WebBrowser1"))
            return Form1->WebBrowser1;
        if (n == QLatin1String("Text1"))
            return Form1->Text1;
        if (n == QLatin1String("Text2"))
            return Form1->Text2;
        if (n == QLatin1String("Label1"))
            return Form1->Label1;
        return Form1->ShockwaveFlash(n.mid(int(std::strlen("ShockwaveFlash"))).toInt());
    }
    bool waitForFirstPage()
    {
        return QTest::qWaitFor([] { return Form1->WebBrowser1->title() == QLatin1String("Velmora 0"); },
                               30000);
    }
    // Other test programs on the same display may take the focus at any moment: ask
    // again until the window holds it.
    bool activate() const
    {
        for (int attempt = 0; attempt < 5; ++attempt) {
            window->activateWindow();
            if (QTest::qWaitForWindowActive(window, 2000))
                return true;
        }
        return false;
    }
    // The window as drawn, below the top row (whose movies move on their own).
    QImage belowTheTopRow() const
    {
        QTest::qWait(200); // the browser view's compositor delivers its frames late
        return window->grab(QRect(0, 72, window->width(), window->height() - 72)).toImage();
    }

    RuntimeRecorder recorder;
    InstallFolder folder;
    QWidget *window = nullptr;
};

TEST_F(LayoutTest, EveryControlStandsAtItsPlaceAndShowsAsLoadLeftIt)
{
    for (const Control &c : kControls) {
        SCOPED_TRACE(c.name);
        QWidget *w = widget(c.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->parentWidget(), window);
        EXPECT_EQ(w->geometry(), inPixels(c));
        EXPECT_EQ(w->isVisible(), c.shownAfterLoad);
    }
    EXPECT_EQ(std::size(kControls), 44u);
    EXPECT_EQ(window->findChildren<controls::FlashButton *>().size(), 40);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Velmora"));
    EXPECT_FALSE(window->windowIcon().isNull());
    EXPECT_EQ(window->palette().color(QPalette::Window), QColor(128, 128, 128));
    EXPECT_EQ(Form1->Label1->text(), QStringLiteral("Brevanto Team"));
    EXPECT_EQ(Form1->Label1->font(), label1Font(QStringLiteral("Brevanto Team"), QSize(113, 17)));
}

TEST_F(LayoutTest, TheWindowOpensCentredOnTheScreen)
{
    const QRect frame = window->frameGeometry();
    const QRect area = window->screen()->availableGeometry();
    // The outer size is 1005 x 781 pixels; centred to within a pixel of rounding.
    EXPECT_LE(std::abs(frame.center().x() - area.center().x()), 1);
    EXPECT_LE(std::abs(frame.center().y() - area.center().y()), 1);
}

TEST_F(LayoutTest, ALargerWindowMovesNothingAndShowsGreyBeyondThePicture)
{
    ASSERT_TRUE(waitForFirstPage());
    std::map<QWidget *, QRect> before;
    for (const Control &c : kControls)
        before[widget(c.name)] = widget(c.name)->geometry();
    const QImage small = window->grab().toImage();
    window->resize(1200, 900);
    QTest::qWait(100);
    for (const auto &[w, geometry] : before)
        EXPECT_EQ(w->geometry(), geometry) << w->objectName().toStdString();
    const QImage large = window->grab().toImage();
    ASSERT_EQ(large.size(), QSize(1200, 900) * large.devicePixelRatio());
    const qreal dpr = large.devicePixelRatio();
    const auto at = [dpr](const QImage &image, int x, int y) { return image.pixelColor(QPoint(x, y) * dpr); };
    // Right of the picture (1000 wide) and below it (768 high): the window's grey.
    EXPECT_EQ(at(large, 1100, 400), QColor(128, 128, 128));
    EXPECT_EQ(at(large, 500, 850), QColor(128, 128, 128));
    EXPECT_EQ(at(large, 1150, 850), QColor(128, 128, 128));
    // The picture stays at the top left: its band and its foot look as before.
    for (const QPoint p : {QPoint(5, 5), QPoint(990, 40), QPoint(20, 740), QPoint(600, 760)})
        EXPECT_EQ(at(large, p.x(), p.y()), at(small, p.x(), p.y())) << p.x() << "," << p.y();
}

TEST_F(LayoutTest, Text1TakesTheFocusUnseenAndKeysTypedIntoItChangeNothingVisible)
{
    ASSERT_TRUE(waitForFirstPage());
    ASSERT_TRUE(activate());
    for (QLineEdit *text : {Form1->Text1, Form1->Text2}) {
        // Visible and enabled, yet beneath the page: nothing of it reaches the screen.
        EXPECT_TRUE(text->isVisible() && text->isEnabled());
        EXPECT_NE(window->childAt(text->geometry().center()), text);
    }
    Form1->Text1->setFocus();
    ASSERT_TRUE(Form1->Text1->hasFocus());
    const QImage before = belowTheTopRow();
    QTest::keyClicks(Form1->Text1, QStringLiteral("typed unseen"));
    QTest::keyClick(Form1->Text1, Qt::Key_Return);
    QTest::keyClick(Form1->Text1, Qt::Key_Tab); // no further than Text2, beneath the page as well
    const QImage after = belowTheTopRow();
    EXPECT_TRUE(Form1->Text1->text().endsWith(QLatin1String("typed unseen")));
    EXPECT_EQ(before, after) << "keys for the hidden text box showed on screen";
    EXPECT_EQ(Form1->pageno, 0);
    EXPECT_TRUE(recorder.boxes.isEmpty());
}

TEST_F(LayoutTest, TheChapterButtonsTakeTheClickOverThePage)
{
    ASSERT_TRUE(waitForFirstPage());
    ASSERT_TRUE(activate());
    std::vector<int> fired;
    for (int n = 19; n <= 51; ++n)
        Form1->setFocusHandler(n, [&fired, n] {
            fired.push_back(n);
            Form1->Text1->setFocus();
        });
    Form1->buttontrue();
    // Clicked through the window, as the mouse does: the widget under the point gets it.
    // A click lost to another program's window is tried again; one taken by the page
    // stays lost every time.
    for (int n = 19; n <= 51; ++n) {
        const QPoint centre = Form1->ShockwaveFlash(n)->geometry().center();
        const size_t before = fired.size();
        for (int attempt = 0; attempt < 3 && fired.size() == before; ++attempt) {
            if (!window->isActiveWindow())
                activate();
            QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, centre);
            QTest::qWait(20);
        }
    }
    std::vector<int> expected;
    for (int n = 19; n <= 51; ++n)
        expected.push_back(n);
    EXPECT_EQ(fired, expected);
    EXPECT_EQ(Form1->pageno, 0);
    for (int n = 19; n <= 51; ++n)
        Form1->setFocusHandler(n, {});
}

} // namespace
} // namespace velmora::mainwindow
