// The button sounds of a movie, heard through a sound server of the test's own: the
// pointer moves over the page-down button (a rollover chime) and clicks it (a press
// chime), and the sink's monitor must hold both, in order, at the level the movie
// stores them at. Without a server, or when the server goes away, the reader plays on
// silently: the click still turns the page and nothing is said.
#include "installfolder.h"
#include "mainwindow/mainformtables.h"
#include "ownsoundserver.h"
#include "ownxserver.h"
#include "readerinstallation.h"
#include "readerprocess.h"
#include "soundbutton.h"
#include "xdisplay.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace velmora::testing {
namespace {

constexpr QPoint kInPage(500, 672); // below every chapter button
constexpr int kPageShownWithinMs = 10000;

// One sound as heard: a run of 10 ms windows (left channel) louder than -40 dBFS. A machine
// under load may let the output run dry for a moment; the rest of the sound then comes
// late, so quiet gaps shorter than kLongestDropout do not split a sound.
struct Heard {
    double start = 0;       // in the recording
    double loudSeconds = 0; // of the loud windows
    double rmsDb = 0;       // over the loud windows
    double hertz = 0;       // from the middle half of its periods
};

std::vector<Heard> soundsHeard(const std::vector<std::int16_t> &recording)
{
    constexpr long kWindow = OwnSoundServer::kRate / 100;
    constexpr long kLongestDropout = 25; // windows: well short of the 400 ms between the chimes
    const long frames = static_cast<long>(recording.size()) / OwnSoundServer::kChannels;
    const auto left = [&](long i) { return double(recording[static_cast<std::size_t>(2 * i)]); };
    struct Loud {
        std::vector<long> windows;
        double sum = 0;
    };
    std::vector<Loud> runs;
    for (long w = 0; w + kWindow <= frames; w += kWindow) {
        double sum = 0;
        for (long i = w; i < w + kWindow; ++i)
            sum += left(i) * left(i);
        if (10 * std::log10(std::max(sum / kWindow, 1.0) / (32768.0 * 32768.0)) <= -40)
            continue;
        if (runs.empty() || w - runs.back().windows.back() > kLongestDropout * kWindow)
            runs.emplace_back();
        runs.back().windows.push_back(w);
        runs.back().sum += sum;
    }
    std::vector<Heard> out;
    for (const Loud &run : runs) {
        std::vector<long> periods; // between rising zero crossings inside loud windows
        long lastRise = -1;
        for (const long w : run.windows) {
            for (long i = std::max(w, 1L); i < w + kWindow; ++i) {
                if (left(i - 1) < 0 && left(i) >= 0) {
                    if (lastRise >= 0 && i - lastRise < kWindow)
                        periods.push_back(i - lastRise);
                    lastRise = i;
                }
            }
        }
        std::sort(periods.begin(), periods.end());
        const auto middle = periods.begin() + static_cast<long>(periods.size() / 4);
        const auto middleEnd = periods.end() - static_cast<long>(periods.size() / 4);
        const double period =
            middle < middleEnd ? std::accumulate(middle, middleEnd, 0.0) / double(middleEnd - middle) : 0;
        const double loudFrames = double(run.windows.size() * kWindow);
        out.push_back({double(run.windows.front()) / OwnSoundServer::kRate,
                       loudFrames / OwnSoundServer::kRate,
                       10 * std::log10(run.sum / loudFrames / (32768.0 * 32768.0)),
                       period > 0 ? OwnSoundServer::kRate / period : 0});
    }
    return out;
}

class SoundE2eTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!screen.isOpen())
            GTEST_SKIP() << "no Xvfb to start a screen of the test's own";
        const WindowTwipsRect r = mainwindow::buttonPlace(mainwindow::kPageDownButton).rect;
        const QSize size(r.width / 15, r.height / 15);
        ASSERT_TRUE(installation.isValid());
        installation.writeFile("pic/down.swf", soundButtonMovie(size).toStdString());
        downButton = QPoint(r.left / 15, r.top / 15) + QPoint(size.width() / 2, size.height() / 2);
    }
    ~SoundE2eTest() override { stopReader(reader); }

    bool start(const QProcessEnvironment &environment)
    {
        if (!startReader(reader, installation.executable(), QDir::tempPath(), environment))
            return false;
        const auto shown = waitForReaderWindow(reader, screen.display());
        if (shown)
            window = *shown;
        return shown.has_value() && waitForPage(0);
    }
    bool waitForPage(int page)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < kPageShownWithinMs) {
            const QImage shot = screen.display().screenshot();
            if (!shot.isNull() &&
                shot.pixelColor(window.geometry.topLeft() + kInPage) == InstallFolder::pageColor(page))
                return true;
            QTest::qWait(30);
        }
        return false;
    }
    // The pointer comes over the page-down button, rests, and clicks it.
    void hoverAndClickDown()
    {
        const QPoint at = window.geometry.topLeft() + downButton;
        screen.display().raise(window.id);
        movePointer(screen, at - QPoint(0, downButton.y() + 5)); // above the window
        movePointer(screen, at);
        QTest::qWait(600);
        clickOnly(screen, at);
    }
    // The reader is still there with its one window: no message box, no crash.
    void expectOneWindowStill()
    {
        EXPECT_EQ(reader.state(), QProcess::Running);
        EXPECT_EQ(screen.display().visibleWindowsOf(reader.processId()).size(), 1u);
    }

    OwnXServer screen;
    ReaderInstallation installation;
    QPoint downButton;
    QProcess reader;
    XWindow window;
};

TEST_F(SoundE2eTest, RollOverAndPressSoundsArriveInOrderAtTheirLevelAndALostServerIsHarmless)
{
    OwnSoundServer sound;
    if (!sound.isOpen())
        GTEST_SKIP() << "no PulseAudio to start a sound server of the test's own";
    ASSERT_TRUE(sound.startRecording());
    ASSERT_TRUE(start(sound.environment(screen.environment())));
    hoverAndClickDown();
    EXPECT_TRUE(waitForPage(1));
    QTest::qWait(800); // the press chime rings out and reaches the monitor
    const std::vector<Heard> heard = soundsHeard(sound.stopRecording());
    ASSERT_EQ(heard.size(), 2u) << "the rollover and the press sound, each once";
    for (const auto &[got, tone] : {std::pair{heard[0], kRollOver}, std::pair{heard[1], kPress}}) {
        EXPECT_NEAR(got.hertz, tone.hertz, tone.hertz * 0.02);
        EXPECT_NEAR(got.loudSeconds, tone.seconds, 0.03);
        EXPECT_NEAR(got.rmsDb, tone.rmsDb(), 1.0);
    }
    EXPECT_GT(heard[1].start - heard[0].start, 0.4) << "the press came 600 ms after the rollover";

    // The server goes away: the next click turns the page as before, and nobody is told.
    sound.kill();
    hoverAndClickDown();
    EXPECT_TRUE(waitForPage(2));
    expectOneWindowStill();
}

TEST_F(SoundE2eTest, WithoutASoundServerTheButtonClicksSilently)
{
    OwnSoundServer sound(false); // its folder only: the socket named has no server
    ASSERT_TRUE(start(sound.withoutServer(screen.environment())));
    hoverAndClickDown();
    EXPECT_TRUE(waitForPage(1));
    QTest::qWait(300);
    expectOneWindowStill();
}

} // namespace
} // namespace velmora::testing
