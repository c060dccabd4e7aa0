// The movie button: a click raises its focus event once per focus gained, never by
// Tab or by the window coming back; hidden buttons take no click; bad movies are empty.
#include "controls/flashbutton.h"
#include "controls/frameclock.h"
#include "controls/swf/player.h"
#include "installfolder.h"
#include "swfwriter.h"

#include <QApplication>
#include <QFile>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace velmora::controls {
namespace {

using testing::InstallFolder;

class FlashButtonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        folder.writeFile("pic/up.swf",
                         InstallFolder::movieBytes(QSize(52, 52), Qt::blue, true).toStdString());
        folder.writeFile("pic/still.swf",
                         InstallFolder::movieBytes(QSize(52, 52), Qt::green, false).toStdString());
        folder.writeFile("pic/garbage.swf", std::string(300, '\x7f'));
        window.resize(300, 200);
        text = new QLineEdit(&window);
        text->setGeometry(0, 150, 80, 20);
        button = new FlashButton(folder.path(), &window);
        button->setGeometry(100, 20, 52, 52);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        window.activateWindow();
        QTest::qWait(50);
    }

    InstallFolder folder{
        velmora::testing::InstallOptions{.database = false, .pages = false, .movies = false}};
    QWidget window;
    QLineEdit *text = nullptr;
    FlashButton *button = nullptr;
};

TEST_F(FlashButtonTest, AClickRaisesTheFocusEventOnceUntilAnotherControlTakesTheFocus)
{
    button->setMovie(folder.path() + "\\pic\\up.swf");
    QSignalSpy events(button, &FlashButton::focusEvent);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(26, 26));
    EXPECT_EQ(events.count(), 1);
    EXPECT_TRUE(button->hasFocus());
    // It holds the focus: a second click raises nothing.
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(26, 26));
    EXPECT_EQ(events.count(), 1);
    // The command hands the focus on; the next click fires again.
    text->setFocus();
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(26, 26));
    EXPECT_EQ(events.count(), 2);
}

TEST_F(FlashButtonTest, OnlyTakingTheFocusAnewRaisesTheEvent)
{
    const struct {
        const char *name;
        Qt::FocusReason reason;
        int events;
    } rows[] = {
        {"mouse", Qt::MouseFocusReason, 1},
        {"set by the program", Qt::OtherFocusReason, 1},
        {"window active again", Qt::ActiveWindowFocusReason, 0},
        {"popup closed", Qt::PopupFocusReason, 0},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        QSignalSpy events(button, &FlashButton::focusEvent);
        QFocusEvent focusIn(QEvent::FocusIn, row.reason);
        QApplication::sendEvent(button, &focusIn);
        EXPECT_EQ(events.count(), row.events);
    }
}

// The click that activates the window may reach the button before the window is active
// (the window manager hands the focus over on the release, or leaves it to Qt): Qt then
// gives the button the focus on activation with the reason of a mere return.
TEST_F(FlashButtonTest, TheClickThatActivatesItsWindowRaisesTheEventOnce)
{
    QWidget other;
    other.setGeometry(400, 0, 100, 100);
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    text->setFocus();
    other.activateWindow();
    if (!QTest::qWaitForWindowActive(&other))
        GTEST_SKIP() << "no other window could be made active";
    ASSERT_FALSE(window.isActiveWindow());
    QSignalSpy events(button, &FlashButton::focusEvent);
    const QPoint inButton = button->geometry().center();
    QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, inButton);
    QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, inButton);
    EXPECT_EQ(events.count(), 1);
    // The window becomes active and hands the button its focus-in: no second event.
    window.activateWindow();
    static_cast<void>(QTest::qWaitForWindowActive(&window)); // the event below stands in if not
    QFocusEvent activated(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(button, &activated);
    EXPECT_EQ(events.count(), 1);
    // Back in the other window and again here with the button still holding the focus:
    // it took nothing anew.
    other.activateWindow();
    if (QTest::qWaitForWindowActive(&other)) {
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, inButton);
        EXPECT_EQ(events.count(), 1);
    }
}

TEST_F(FlashButtonTest, TheButtonIsNeverATabStop)
{
    EXPECT_EQ(button->focusPolicy(), Qt::ClickFocus);
    text->setFocus();
    QSignalSpy events(button, &FlashButton::focusEvent);
    QTest::keyClick(text, Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : text, Qt::Key_Tab);
    EXPECT_FALSE(button->hasFocus());
    EXPECT_EQ(events.count(), 0);
}

TEST_F(FlashButtonTest, AHiddenButtonTakesNoClickAndReactsAgainOnceShown)
{
    button->setMovie(folder.path() + "\\pic\\up.swf");
    QSignalSpy events(button, &FlashButton::focusEvent);
    button->setVisible(false);
    QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(126, 46));
    EXPECT_EQ(events.count(), 0);
    EXPECT_FALSE(button->isPlaying());
    button->setVisible(true);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(26, 26));
    EXPECT_EQ(events.count(), 1);
}

TEST_F(FlashButtonTest, AMissingOrUnreadableMovieLeavesAnEmptyButtonThatStillWorks)
{
    for (const char *movie : {"\\pic\\missing.swf", "\\pic\\garbage.swf", ""}) {
        SCOPED_TRACE(movie);
        button->setMovie(folder.path() + QString::fromLatin1(movie));
        EXPECT_FALSE(button->hasMovie());
        EXPECT_FALSE(button->isPlaying());
        const QImage shot = button->grab().toImage();
        EXPECT_EQ(shot.size(), QSize(52, 52));
        text->setFocus();
        QSignalSpy events(button, &FlashButton::focusEvent);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(26, 26));
        EXPECT_EQ(events.count(), 1);
    }
}

TEST_F(FlashButtonTest, TheMovieIsPaintedScaledIntoTheButton)
{
    button->setMovie(folder.path() + "\\PIC\\STILL.SWF"); // any case
    if (!button->hasMovie())
        GTEST_SKIP() << "the movie engine does not read movies yet";
    button->resize(104, 52); // wider than the stage: ShowAll keeps the square in the middle
    const QImage shot = button->grab().toImage();
    EXPECT_EQ(shot.pixelColor(52, 26), QColor(Qt::green));
}

TEST_F(FlashButtonTest, OnlyVisibleAnimatedMoviesTickOnTheSharedClock)
{
    button->setMovie(folder.path() + "\\pic\\up.swf");
    if (!button->hasMovie())
        GTEST_SKIP() << "the movie engine does not read movies yet";
    EXPECT_EQ(button->isPlaying(), button->player()->isAnimated());
    button->hide();
    EXPECT_FALSE(button->isPlaying());
    button->show();
    EXPECT_EQ(button->isPlaying(), button->player()->isAnimated());
    button->setMovie(folder.path() + "\\pic\\still.swf");
    if (!button->player()->isAnimated()) {
        EXPECT_FALSE(button->isPlaying());
    }
}

// Three frames, the last of which stops the movie.
QByteArray movieThatStops()
{
    swfwriter::MovieBuilder movie(QSize(52, 52));
    movie.setFrameRate(50);
    QPainterPath box;
    box.addRect(0, 0, 52 * swfwriter::kTwipsPerPixel, 52 * swfwriter::kTwipsPerPixel);
    movie.placeObject(1, movie.defineShape(box, swfwriter::Fill::solid(Qt::blue)));
    movie.showFrame();
    for (const double scale : {0.5, 0.25}) {
        swfwriter::Placement placement;
        placement.matrix = QTransform::fromScale(scale, scale);
        movie.moveObject(1, placement);
        if (scale == 0.25)
            movie.stop();
        movie.showFrame();
    }
    return movie.build();
}

TEST_F(FlashButtonTest, AMovieThatCameToRestLeavesTheClock)
{
    folder.writeFile("pic/stops.swf", movieThatStops().toStdString());
    button->setMovie(folder.path() + "\\pic\\stops.swf");
    ASSERT_TRUE(button->hasMovie());
    EXPECT_TRUE(button->isPlaying());
    QTest::qWait(300);
    EXPECT_EQ(button->player()->framesRun(), 3);
    EXPECT_FALSE(button->isPlaying());
    QTest::mouseMove(button, QPoint(26, 26)); // still at rest: nothing in it moves
    EXPECT_FALSE(button->isPlaying());
}

// Action records, as the movie stores them.
QByteArray pushString(const char *text)
{
    const QByteArray body = QByteArray(1, '\0') + QByteArray(text) + QByteArray(1, '\0');
    return QByteArray("\x96", 1) + char(body.size()) + '\0' + body;
}

// Two frames, the second of which stops the root; the clip "box" placed in the first
// moves one pixel to the right in each frame of its onEnterFrame handler.
QByteArray stoppedMovieWithAMovingClip()
{
    swfwriter::MovieBuilder movie(QSize(52, 52));
    movie.setFrameRate(50);
    movie.setBackgroundColor(Qt::white);
    QPainterPath square;
    square.addRect(0, 0, 10 * swfwriter::kTwipsPerPixel, 10 * swfwriter::kTwipsPerPixel);
    swfwriter::Timeline inside;
    inside.placeObject(1, movie.defineShape(square, swfwriter::Fill::solid(Qt::blue)));
    swfwriter::Placement named;
    named.name = QStringLiteral("box");
    movie.placeObject(1, movie.defineSprite(inside), named);
    // this._x = this._x + 1
    const QByteArray step = pushString("this") + "\x1c" + pushString("_x") + pushString("this") + "\x1c" +
                            pushString("_x") + "\x4e" + QByteArray("\x96\x05\x00\x07\x01\x00\x00\x00", 8) +
                            "\x47" + "\x4f";
    // box.onEnterFrame = function () { step }
    QByteArray function("\x9b\x05\x00\x00\x00\x00", 6);
    function += char(step.size()) + QByteArray(1, '\0');
    movie.timeline().doAction(pushString("box") + "\x1c" + pushString("onEnterFrame") + function + step +
                              "\x4f");
    movie.showFrame();
    movie.stop();
    movie.showFrame();
    return movie.build();
}

TEST_F(FlashButtonTest, AStoppedMovieWhoseClipsMoveEveryFrameStaysOnTheClock)
{
    folder.writeFile("pic/moving.swf", stoppedMovieWithAMovingClip().toStdString());
    button->setMovie(folder.path() + "\\pic\\moving.swf");
    ASSERT_TRUE(button->hasMovie());
    const QImage before = button->grab().toImage();
    ASSERT_EQ(before.pixelColor(2, 2), QColor(Qt::blue));
    QTest::qWait(300);
    EXPECT_TRUE(button->isPlaying());
    EXPECT_GT(button->player()->framesRun(), 5);
    const QImage after = button->grab().toImage();
    EXPECT_EQ(after.pixelColor(2, 2), QColor(Qt::white)) << "the clip went on moving";
}

// Counts the paint events a widget receives.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

TEST_F(FlashButtonTest, AMovieThatNobodyCanSeeIsNotPainted)
{
    button->setMovie(folder.path() + "\\pic\\up.swf");
    if (!button->hasMovie() || !button->player()->isAnimated())
        GTEST_SKIP() << "the movie engine does not play movies yet";
    PaintCounter counter;
    button->installEventFilter(&counter);
    QTest::qWait(400);
    EXPECT_GT(counter.paints, 1) << "an animated movie on show repaints";
    // A control laid over the whole button.
    QWidget cover(&window);
    cover.setAutoFillBackground(true);
    cover.setGeometry(button->geometry().adjusted(-2, -2, 2, 2));
    cover.show();
    cover.raise();
    QTest::qWait(100);
    counter.paints = 0;
    const int frames = button->player()->framesRun();
    QTest::qWait(400);
    EXPECT_EQ(counter.paints, 0);
    EXPECT_EQ(button->player()->framesRun(), frames) << "a covered movie waits";
    cover.hide();
    QTest::qWait(400);
    EXPECT_GT(counter.paints, 1) << "uncovered, it plays on";
}

TEST_F(FlashButtonTest, ALoopWhoseFramesLookAlikeIsPaintedOnce)
{
    swfwriter::MovieBuilder movie(QSize(52, 52));
    movie.setFrameRate(30);
    QPainterPath box;
    box.addRect(0, 0, 40 * swfwriter::kTwipsPerPixel, 40 * swfwriter::kTwipsPerPixel);
    movie.placeObject(1, movie.defineShape(box, swfwriter::Fill::solid(Qt::red)));
    movie.showFrame();
    swfwriter::Placement stay;
    stay.matrix = QTransform(); // moved to where it is
    movie.moveObject(1, stay);
    movie.showFrame();
    folder.writeFile("pic/loop.swf", movie.build().toStdString());
    button->setMovie(folder.path() + "\\pic\\loop.swf");
    if (!button->hasMovie() || !button->player()->isAnimated())
        GTEST_SKIP() << "the movie engine does not play movies yet";
    QTest::qWait(200);
    PaintCounter counter;
    button->installEventFilter(&counter);
    const int frames = button->player()->framesRun();
    QTest::qWait(400);
    EXPECT_GT(button->player()->framesRun(), frames + 4) << "the movie plays on";
    EXPECT_EQ(counter.paints, 0) << "but its picture never changes";
    EXPECT_EQ(button->grab().toImage().pixelColor(20, 20), QColor(Qt::red));
}

TEST_F(FlashButtonTest, TakingOrLosingTheFocusRepaintsNothing)
{
    button->setMovie(folder.path() + "\\pic\\still.swf");
    ASSERT_TRUE(button->hasMovie());
    QTest::qWait(50);
    PaintCounter counter;
    button->installEventFilter(&counter);
    button->press();
    QTest::qWait(50);
    ASSERT_TRUE(button->hasFocus());
    text->setFocus();
    QTest::qWait(50);
    EXPECT_FALSE(button->hasFocus());
    EXPECT_EQ(counter.paints, 0) << "the movie shows no focus";
}

TEST_F(FlashButtonTest, ALoopPaintedFromItsKeptFramesShowsWhatTheMovieShows)
{
    swfwriter::MovieBuilder movie(QSize(52, 52));
    movie.setFrameRate(60);
    QPainterPath box;
    box.addEllipse(0, 0, 30 * swfwriter::kTwipsPerPixel, 30 * swfwriter::kTwipsPerPixel);
    movie.placeObject(1, movie.defineShape(box, swfwriter::Fill::solid(Qt::red)));
    for (int frame = 1; frame <= 3; ++frame) {
        movie.showFrame();
        swfwriter::Placement moved;
        moved.matrix = QTransform::fromTranslate(frame * 7 * swfwriter::kTwipsPerPixel, 0);
        movie.moveObject(1, moved);
    }
    movie.showFrame();
    folder.writeFile("pic/loop.swf", movie.build().toStdString());
    button->setMovie(folder.path() + "\\pic\\loop.swf");
    if (!button->hasMovie() || !button->player()->isAnimated())
        GTEST_SKIP() << "the movie engine does not play movies yet";
    // Over several loops every frame comes back from what was kept.
    for (int look = 0; look < 12; ++look) {
        QTest::qWait(23);
        QImage painted(button->size(), QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&painted);
        button->player()->render(painter, QRectF(button->rect()), swf::Quality::High);
        painter.end();
        EXPECT_EQ(button->grab().toImage().convertToFormat(painted.format()), painted) << "look " << look;
    }
}

// The buttons of a page share one tick's filter work: forty of a movie whose blur alone
// would take far more than a frame's worth cost about one frame together, not forty,
// and those drawn coarser for it are painted again at the next ticks.
TEST_F(FlashButtonTest, TheButtonsOfAPageShareOneFramesFilterWork)
{
    QFile heavy(VELMORA_SOURCE_DIR
                "/tests/controls/swf/fuzz-regressions/blur-of-largest-width-and-passes-slow.swf");
    ASSERT_TRUE(heavy.open(QIODevice::ReadOnly));
    folder.writeFile("pic/blur.swf", heavy.readAll().toStdString());
    constexpr int kButtons = 40;
    std::vector<FlashButton *> buttons;
    for (int i = 0; i < kButtons; ++i) {
        buttons.push_back(new FlashButton(folder.path(), &window));
        buttons.back()->setGeometry(i % 10 * 30, i / 10 * 30, 28, 28);
        buttons.back()->setMovie(folder.path() + "\\pic\\blur.swf");
        buttons.back()->show();
    }
    if (!buttons.back()->hasMovie())
        GTEST_SKIP() << "the movie engine does not read movies yet";
    swf::FilterBudget &budget = FrameClock::instance().filterBudget();
    budget.refill();
    window.repaint();
    EXPECT_GT(budget.spent(), 0);
    EXPECT_LE(budget.spent(), swf::FilterBudget::kWorkPerFrame * (1 + kButtons / swf::FilterBudget::kShares));
    PaintCounter counter;
    buttons.back()->installEventFilter(&counter);
    QTest::qWait(200);
    EXPECT_GT(counter.paints, 0);
}

// A client counting its ticks.
struct Counter : FrameClock::Client {
    int ticks = 0;
    std::function<void()> onTick;
    void tick(FrameClock::TimePoint) override
    {
        ++ticks;
        if (onTick)
            onTick();
    }
};

TEST(FrameClockTest, OneTimerRunsAtTheShortestIntervalAndStopsWithTheLastClient)
{
    FrameClock &clock = FrameClock::instance();
    Counter slow, fast;
    clock.subscribe(&slow, std::chrono::milliseconds(100));
    clock.subscribe(&fast, std::chrono::milliseconds(20));
    EXPECT_EQ(clock.interval(), std::chrono::milliseconds(20));
    QTest::qWait(120);
    EXPECT_GT(fast.ticks, 0);
    EXPECT_EQ(slow.ticks, fast.ticks); // one wake-up serves both
    clock.unsubscribe(&fast);
    EXPECT_EQ(clock.interval(), std::chrono::milliseconds(100));
    clock.unsubscribe(&slow);
    EXPECT_EQ(clock.clientCount(), 0);
}

TEST(FrameClockTest, AClientMayLeaveWhileTicked)
{
    FrameClock &clock = FrameClock::instance();
    Counter a, b;
    a.onTick = [&] {
        clock.unsubscribe(&a);
        clock.unsubscribe(&b);
    };
    clock.subscribe(&a, std::chrono::milliseconds(10));
    clock.subscribe(&b, std::chrono::milliseconds(10));
    QTest::qWait(60);
    EXPECT_EQ(a.ticks, 1);
    EXPECT_EQ(b.ticks, 0);
    EXPECT_EQ(clock.clientCount(), 0);
}

TEST(FrameClockTest, PaintingClientsWaitWhileAPageLoadsAndOthersKeepTheirTicks)
{
    FrameClock &clock = FrameClock::instance();
    struct Painter : Counter {
        bool yieldsToPageLoads() const override { return true; }
    } movie;
    Counter sound;
    clock.subscribe(&movie, std::chrono::milliseconds(10));
    clock.subscribe(&sound, std::chrono::milliseconds(10));
    clock.pageLoading(std::chrono::seconds(10));
    QTest::qWait(80);
    EXPECT_EQ(movie.ticks, 0);
    EXPECT_GT(sound.ticks, 0);
    clock.pageLoaded();
    QTest::qWait(80);
    EXPECT_GT(movie.ticks, 0);
    // A page that never finishes holds them no longer than it was given.
    clock.pageLoading(std::chrono::milliseconds(30));
    const int before = movie.ticks;
    QTest::qWait(120);
    EXPECT_GT(movie.ticks, before);
    clock.unsubscribe(&movie);
    clock.unsubscribe(&sound);
}

// A GetURL action record.
QByteArray getUrlAction(const QByteArray &address)
{
    const QByteArray body = address + '\0' + '\0';
    QByteArray record(1, static_cast<char>(swf::ActionCode::GetUrl));
    record.append(static_cast<char>(body.size() & 0xFF)).append(static_cast<char>(body.size() >> 8));
    return record + body;
}

// A button as large as the stage whose press and release scripts ask for addresses.
QByteArray addressButtonMovie()
{
    swfwriter::MovieBuilder movie(QSize(52, 52));
    QPainterPath box;
    box.addRect(0, 0, 52 * swfwriter::kTwipsPerPixel, 52 * swfwriter::kTwipsPerPixel);
    const quint16 shape = movie.defineShape(box, swfwriter::Fill::solid(Qt::blue));
    swfwriter::BitWriter records;
    records.writeU8(0x0F); // every state and the hit area
    records.writeU16(shape);
    records.writeU16(1);
    swfwriter::writeMatrix(records, QTransform());
    swfwriter::writeColorTransform(records, {});
    records.writeU8(0);
    const auto condition = [](quint16 size, quint16 when, const QByteArray &actions) {
        QByteArray c;
        c.append(static_cast<char>(size & 0xFF)).append(static_cast<char>(size >> 8));
        c.append(static_cast<char>(when & 0xFF)).append(static_cast<char>(when >> 8));
        return c + actions + '\0';
    };
    // Two addresses from one press: only the first is opened.
    const QByteArray press =
        getUrlAction("http://example.org/press") + getUrlAction("https://example.org/second");
    const QByteArray release =
        getUrlAction("javascript:alert(1)") + getUrlAction("mailto:reader@example.org");
    const QByteArray first = condition(0, swf::OverUpToOverDown, press);
    const QByteArray conditions =
        condition(static_cast<quint16>(first.size()), swf::OverUpToOverDown, press) +
        condition(0, swf::OverDownToOverUp, release);
    swfwriter::BitWriter button;
    button.writeU16(2);
    button.writeU8(0);
    button.writeU16(static_cast<quint16>(records.bytes().size() + 2));
    button.writeBytes(records.bytes());
    button.writeBytes(conditions);
    movie.addDefinition(swf::TagCode::DefineButton2, button.bytes());
    movie.placeObject(1, 2);
    // A frame script is no user action: its address is dropped.
    movie.timeline().doAction(getUrlAction("http://example.org/frame"));
    movie.stop();
    movie.showFrame();
    return movie.build();
}

TEST_F(FlashButtonTest, AnAddressFromAButtonScriptReachesTheDesktopOncePerAction)
{
    QStringList opened;
    FlashButton::setUrlOpener([&](const QUrl &url) { opened << url.toString(); });
    folder.writeFile("pic/link.swf", addressButtonMovie().toStdString());
    button->setMovie(folder.path() + "\\pic\\link.swf");
    ASSERT_TRUE(button->hasMovie());
    QTest::qWait(100);
    EXPECT_TRUE(opened.isEmpty()) << opened.join(' ').toStdString();
    QTest::mouseMove(button, QPoint(26, 26));
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(26, 26));
    FlashButton::setUrlOpener({});
    EXPECT_EQ(opened, QStringList({"http://example.org/press", "mailto:reader@example.org"}));
}

} // namespace
} // namespace velmora::controls
