// A movie too heavy to keep its frame rate, as a chapter button over the page, must not
// hold up the page: the contents command shows the contents page as fast as ever, and the
// movie plays on (dropping frames) where it lies over the page.
#include "installfolder.h"
#include "ownxserver.h"
#include "readerprocess.h"
#include "xdisplay.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

namespace velmora::testing {
namespace {

constexpr QPoint kContentsButton(65, 40);     // ShockwaveFlash10: 380, 210, 1215 x 780 twips
constexpr QRect kChapter19(128, 152, 81, 15); // ShockwaveFlash19: 1920, 2280, 1215 x 225
constexpr QPoint kInPage(500, 672);           // below every chapter button
// Quick for any page of this installation, even on a loaded machine; a page held up
// behind the movie took many seconds, or never came.
constexpr int kPageShownWithinMs = 3000;

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

} // namespace
} // namespace velmora::testing
