// The reader under a real window manager (openbox, on an X server of the test's own):
// framed to its outer size and centred; a click on a button of the inactive window,
// after a click into another program, activates it and runs the command once, whether
// the window manager hands the focus over on the press or on the release; maximised or
// tiled, no control moves and the buttons still work.
#include "installfolder.h"
#include "openbox.h"
#include "ownxserver.h"
#include "readerinstallation.h"
#include "readerprocess.h"
#include "xdisplay.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace velmora::testing {
namespace {

constexpr QSize kScreen(1920, 1200);
constexpr QSize kOuterSizePx(1005, 781); // 15070 x 11715 twips, the frame included
constexpr int kPageTimeoutMs = 20000;
constexpr int kFocusTimeoutMs = 5000;

// Window points, in pixels from the client area's top left.
constexpr QPoint kPageUpButton(885, 40);   // ShockwaveFlash11: 12890, 210, 780 x 780
constexpr QPoint kPageDownButton(943, 40); // ShockwaveFlash12: 13670, 210, 960 x 780
constexpr QPoint kDownButtonMovie(914, 17);
constexpr QPoint kInPage(500, 672); // below every chapter button
// The page's corners, inside the browser view from (0, 72) to (1000, 697).
constexpr QPoint kPageCorners[] = {{2, 75}, {997, 75}, {2, 694}, {997, 694}};
const QColor kGrey(128, 128, 128);

bool near(const QColor &a, const QColor &b, int tolerance = 3)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

class WindowManagerE2eTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!server.isOpen())
            GTEST_SKIP() << "no Xvfb to start a screen of the test's own";
    }
    ~WindowManagerE2eTest() override
    {
        stopReader(reader);
        stopReader(otherProgram);
    }
    // Openbox on the screen, and the reader on it, framed.
    void startUnder(Openbox::FocusOnClick focus)
    {
        openbox = std::make_unique<Openbox>(server, focus);
        ASSERT_TRUE(openbox->isRunning()) << "openbox did not start";
        ASSERT_TRUE(workFolder.isValid());
        ASSERT_TRUE(startReader(reader, installation.executable(), workFolder.path(), server.environment()));
        const auto shown = waitForReaderWindow(reader, server.display());
        ASSERT_TRUE(shown.has_value()) << "no window";
        window = *shown;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < kFocusTimeoutMs && display().frameExtents(window.id).isNull())
            QTest::qWait(50);
        ASSERT_FALSE(display().frameExtents(window.id).isNull()) << "openbox put no frame around the window";
        ASSERT_EQ(waitForPage(0), InstallFolder::pageColor(0));
    }
    const XDisplay &display() const { return server.display(); }
    // The client area as it stands now (the window manager moves and resizes it).
    QRect clientArea() const
    {
        const auto windows = display().visibleWindowsOf(reader.processId());
        return windows.size() == 1 ? windows[0].geometry : QRect();
    }
    // A person's click: the pointer moves to `screenPoint` and clicks, and whatever the
    // window manager does with that click, it does. Nothing is activated beforehand.
    void clickOnScreen(QPoint screenPoint) const
    {
        QProcess xdotool;
        xdotool.setProcessEnvironment(server.environment());
        xdotool.start(QStringLiteral("xdotool"),
                      {QStringLiteral("mousemove"), QString::number(screenPoint.x()),
                       QString::number(screenPoint.y()), QStringLiteral("click"), QStringLiteral("1")});
        xdotool.waitForFinished(10000);
    }
    void clickInWindow(QPoint at) const { clickOnScreen(clientArea().topLeft() + at); }
    QColor colourAt(QPoint inWindow) const
    {
        const QImage shot = display().screenshot();
        return shot.isNull() ? QColor() : shot.pixelColor(clientArea().topLeft() + inWindow);
    }
    // Waits until `inWindow` shows `colour` (or one near it): the window repaints what a
    // resize uncovered a little later. The colour last seen otherwise.
    QColor waitForColour(QPoint inWindow, const QColor &colour, int tolerance = 0) const
    {
        QColor seen;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < kPageTimeoutMs) {
            seen = colourAt(inWindow);
            if (near(seen, colour, tolerance))
                return colour;
            QTest::qWait(30);
        }
        return seen;
    }
    QColor waitForPage(int page) const { return waitForColour(kInPage, InstallFolder::pageColor(page)); }
    bool waitForActive(bool readerActive) const
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < kFocusTimeoutMs) {
            if ((display().activeWindow() == window.id) == readerActive)
                return true;
            QTest::qWait(20);
        }
        return false;
    }
    // Another program's window, in the screen's top left corner, clear of the reader's.
    void startOtherProgram()
    {
        otherProgram.setProcessEnvironment(server.environment());
        otherProgram.start(QStringLiteral("xmessage"),
                           {QStringLiteral("-geometry"), QStringLiteral("200x100+10+10"),
                            QStringLiteral("another program")});
        ASSERT_TRUE(otherProgram.waitForStarted()) << "xmessage did not start";
        QTest::qWait(500);
    }

    OwnXServer server{kScreen};
    std::unique_ptr<Openbox> openbox;
    ReaderInstallation installation;
    QTemporaryDir workFolder;
    QProcess reader;
    QProcess otherProgram;
    XWindow window;
};

TEST_F(WindowManagerE2eTest, TheFramedWindowHasItsOuterSizeAndIsCentred)
{
    ASSERT_NO_FATAL_FAILURE(startUnder(Openbox::FocusOnClick::Press));
    const QMargins frame = display().frameExtents(window.id);
    const QRect client = clientArea();
    const QRect outer = client.marginsAdded(frame);
    EXPECT_EQ(outer.size(), kOuterSizePx)
        << "frame " << frame.left() << "," << frame.top() << "," << frame.right() << "," << frame.bottom();
    const QPoint centred((kScreen.width() - kOuterSizePx.width()) / 2,
                         (kScreen.height() - kOuterSizePx.height()) / 2);
    EXPECT_LE((outer.topLeft() - centred).manhattanLength(), 2)
        << outer.x() << "," << outer.y() << " instead of " << centred.x() << "," << centred.y();
}

// Each click into the inactive window turns one page: down through the eight fixed
// pages and up again, each after a click into another program.
TEST_F(WindowManagerE2eTest, AClickOnAButtonOfTheInactiveWindowActivatesItAndRunsTheCommandOnce)
{
    for (const auto focus : {Openbox::FocusOnClick::Press, Openbox::FocusOnClick::Release}) {
        SCOPED_TRACE(focus == Openbox::FocusOnClick::Press ? "focus on the press" : "focus on the release");
        ASSERT_NO_FATAL_FAILURE(startUnder(focus));
        ASSERT_NO_FATAL_FAILURE(startOtherProgram());
        int page = 0;
        for (int step = 0; step < 14; ++step) {
            SCOPED_TRACE(step);
            clickOnScreen(QPoint(60, 60));
            ASSERT_TRUE(waitForActive(false)) << "the other program's window did not become active";
            const bool down = step < 7;
            page += down ? 1 : -1;
            clickInWindow(down ? kPageDownButton : kPageUpButton);
            EXPECT_TRUE(waitForActive(true)) << "the click did not activate the reader";
            ASSERT_EQ(waitForPage(page), InstallFolder::pageColor(page)) << "the click ran no command";
            // Once: a command run twice would turn one page more.
            QTest::qWait(150);
            ASSERT_EQ(colourAt(kInPage), InstallFolder::pageColor(page)) << "the command ran twice";
        }
        stopReader(reader);
        stopReader(otherProgram);
        openbox.reset();
    }
}

TEST_F(WindowManagerE2eTest, MaximisedOrTiledNoControlMovesAndTheButtonsStillWork)
{
    ASSERT_NO_FATAL_FAILURE(startUnder(Openbox::FocusOnClick::Press));
    const QColor downMovie = colourAt(kDownButtonMovie);
    ASSERT_TRUE(near(downMovie, QColor::fromHsv((12 * 37) % 360, 200, 220)))
        << downMovie.name().toStdString();
    const auto expectControlsInPlace = [&](int page) {
        for (const QPoint corner : kPageCorners)
            EXPECT_EQ(waitForColour(corner, InstallFolder::pageColor(page)), InstallFolder::pageColor(page))
                << corner.x() << "," << corner.y();
        EXPECT_EQ(waitForColour(kDownButtonMovie, downMovie, 3), downMovie);
    };
    // Maximised: the window fills the screen; the controls keep their places, grey beyond.
    display().setMaximised(window.id, true);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < kFocusTimeoutMs && clientArea().width() < kScreen.width() - 10)
        QTest::qWait(50);
    ASSERT_GE(clientArea().width(), kScreen.width() - 10) << "not maximised";
    expectControlsInPlace(0);
    EXPECT_EQ(waitForColour(QPoint(1500, 400), kGrey), kGrey);
    EXPECT_EQ(waitForColour(QPoint(500, 1000), kGrey), kGrey);
    clickInWindow(kPageDownButton);
    EXPECT_EQ(waitForPage(1), InstallFolder::pageColor(1));
    // The reader leaves the maximised size alone.
    QTest::qWait(500);
    EXPECT_GE(clientArea().width(), kScreen.width() - 10) << "the reader undid the maximising";
    expectControlsInPlace(1);

    // Tiled to the left half of the screen: narrower than the window, the controls where they were.
    display().setMaximised(window.id, false);
    QTest::qWait(300);
    const QRect leftHalf(0, 0, kScreen.width() / 2, kScreen.height() - 100);
    display().moveResize(window.id, leftHalf);
    clock.restart();
    while (clock.elapsed() < kFocusTimeoutMs && clientArea().width() != leftHalf.width())
        QTest::qWait(50);
    ASSERT_EQ(clientArea().size(), leftHalf.size()) << "not tiled";
    QTest::qWait(500);
    EXPECT_EQ(clientArea().size(), leftHalf.size()) << "the reader undid the tiling";
    for (const QPoint corner : {kPageCorners[0], kPageCorners[2]})
        EXPECT_EQ(waitForColour(corner, InstallFolder::pageColor(1)), InstallFolder::pageColor(1));
    EXPECT_EQ(waitForColour(kDownButtonMovie, downMovie, 3), downMovie);
    clickInWindow(kPageDownButton);
    EXPECT_EQ(waitForPage(2), InstallFolder::pageColor(2));
}

} // namespace
} // namespace velmora::testing
