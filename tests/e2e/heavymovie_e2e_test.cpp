// A movie too heavy to keep its frame rate, as a chapter button over the page or as the
// buttons of every page, must not hold up the page: the contents command and each page
// down show their page as fast as ever, and the movies play on (dropping frames).
#include "installfolder.h"
#include "ownxserver.h"
#include "readerprocess.h"
#include "xdisplay.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace velmora::testing {
namespace {

constexpr QPoint kContentsButton(65, 40); // ShockwaveFlash10: 380, 210, 1215 x 780 twips
constexpr QRect kContentsMovie(25, 14, 81, 52);
constexpr QPoint kPageDownButton(943, 40);    // ShockwaveFlash12: 13670, 210, 960 x 780
constexpr QRect kChapter19(128, 152, 81, 15); // ShockwaveFlash19: 1920, 2280, 1215 x 225
constexpr QPoint kInPage(500, 672);           // below every chapter button
// Quick for any page of this installation, even on a loaded machine; a page held up
// behind the movie took many seconds, or never came.
constexpr int kPageShownWithinMs = 3000;
constexpr int kTypicalTurnWithinMs = 1000;
constexpr int kTurnGivenUpMs = 20000;

// 60 frames a second, 60 frames of about 120 placements, photographs and blend modes.
const char *const kHeavyMovie = VELMORA_SHARED_DIR "/corpus/swf/bmp_jpeg2_acid_blend_2/test.swf";

TEST(HeavyMovieE2e, TheContentsPageShowsAtOnceWhileAHeavyChapterButtonPlays)
{
    OwnXServer server;
    if (!server.isOpen())
        GTEST_SKIP() << "no Xvfb to start a screen of the test's own";
    QFile movie(QString::fromUtf8(kHeavyMovie));
    if (!movie.open(QIODevice::ReadOnly))
        GTEST_SKIP() << "no movie corpus at " << kHeavyMovie;
    InstallFolder installation;
    ASSERT_TRUE(installation.isValid());
    installation.writeFile("pic/19.swf", movie.readAll().toStdString());
    std::filesystem::copy_file(VELMORA_EXECUTABLE, installation.root() / "velmora");
    QProcess reader;
    ASSERT_TRUE(
        startReader(reader, installation.path() + "/velmora", QDir::tempPath(), server.environment()));
    const auto window = waitForReaderWindow(reader, server.display());
    ASSERT_TRUE(window.has_value());
    const QPoint origin = window->geometry.topLeft();
    const auto colourInPage = [&] {
        const QImage shot = server.display().screenshot();
        return shot.isNull() ? QColor() : shot.pixelColor(origin + kInPage);
    };
    QElapsedTimer clock;
    clock.start();
    while (colourInPage() != InstallFolder::pageColor(0) && clock.elapsed() < kReaderStartTimeoutMs)
        QTest::qWait(50);
    ASSERT_EQ(colourInPage(), InstallFolder::pageColor(0));

    clickWithMouse(server, *window, origin + kContentsButton);
    clock.restart();
    while (colourInPage() != InstallFolder::pageColor(2) && clock.elapsed() < kPageShownWithinMs)
        QTest::qWait(30);
    EXPECT_EQ(colourInPage(), InstallFolder::pageColor(2)) << "after " << clock.elapsed() << " ms";

    // The movie itself plays on.
    const QRect button(origin + kChapter19.topLeft(), kChapter19.size());
    const QImage before = server.display().screenshot().copy(button);
    QTest::qWait(500);
    EXPECT_NE(server.display().screenshot().copy(button), before);
    stopReader(reader);
}

// Heavy movies on the buttons that show on every page: each page down shows its page at
// once. A reader that composed the window through OpenGL drawn by the processor took 4 to
// 8 s for each turn on a virtual display; this one takes well under a second.
TEST(HeavyMovieE2e, PagesTurnAtOnceWhileHeavyMoviesPlayOnEveryPage)
{
    OwnXServer server;
    if (!server.isOpen())
        GTEST_SKIP() << "no Xvfb to start a screen of the test's own";
    QFile movie(QString::fromUtf8(kHeavyMovie));
    if (!movie.open(QIODevice::ReadOnly))
        GTEST_SKIP() << "no movie corpus at " << kHeavyMovie;
    const std::string heavy = movie.readAll().toStdString();
    InstallFolder installation;
    ASSERT_TRUE(installation.isValid());
    for (const char *name : {"pic/brevanto.swf", "pic/g.swf", "pic/index.swf", "pic/up.swf"})
        installation.writeFile(name, heavy);
    std::filesystem::copy_file(VELMORA_EXECUTABLE, installation.root() / "velmora");
    QProcess reader;
    ASSERT_TRUE(
        startReader(reader, installation.path() + "/velmora", QDir::tempPath(), server.environment()));
    const auto window = waitForReaderWindow(reader, server.display());
    ASSERT_TRUE(window.has_value());
    const QPoint origin = window->geometry.topLeft();
    const auto colourInPage = [&] {
        const QImage shot = server.display().screenshot();
        return shot.isNull() ? QColor() : shot.pixelColor(origin + kInPage);
    };
    QElapsedTimer clock;
    clock.start();
    while (colourInPage() != InstallFolder::pageColor(0) && clock.elapsed() < kReaderStartTimeoutMs)
        QTest::qWait(50);
    ASSERT_EQ(colourInPage(), InstallFolder::pageColor(0));
    QTest::qWait(1000); // the movies under way

    std::vector<qint64> turns;
    for (int page = 1; page < 8; ++page) {
        clickWithMouse(server, *window, origin + kPageDownButton);
        clock.restart();
        while (colourInPage() != InstallFolder::pageColor(page) && clock.elapsed() < kTurnGivenUpMs)
            QTest::qWait(10);
        ASSERT_EQ(colourInPage(), InstallFolder::pageColor(page)) << "page " << page << " never showed";
        turns.push_back(clock.elapsed());
    }
    std::vector<qint64> sorted = turns;
    std::sort(sorted.begin(), sorted.end());
    std::string all;
    for (const qint64 ms : turns)
        all += std::to_string(ms) + " ";
    EXPECT_LT(sorted[sorted.size() / 2], kTypicalTurnWithinMs) << "turns (ms): " << all;
    EXPECT_LT(sorted.back(), kPageShownWithinMs) << "turns (ms): " << all;

    // The movies play on, dropping frames where they must.
    const QRect button(origin + kContentsMovie.topLeft(), kContentsMovie.size());
    const QImage before = server.display().screenshot().copy(button);
    QTest::qWait(500);
    EXPECT_NE(server.display().screenshot().copy(button), before);
    stopReader(reader);
}

} // namespace
} // namespace velmora::testing
