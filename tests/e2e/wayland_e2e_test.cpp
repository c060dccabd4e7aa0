// The reader as a native Wayland client, under a real compositor started by the test
// (sway, headless) and clicked with the compositor's own virtual pointer: its window
// tiled, floating and with decorations of its own; a page turn and a chapter jump; help
// and quit; and the error box of an installation without its database.
#include "installfolder.h"
#include "mainwindow/mainformtables.h"
#include "readerinstallation.h"
#include "readerprocess.h"
#include "swayheadless.h"
#include "virtualpointer.h"
#include "windowcontrols.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

namespace velmora::testing {
namespace {

constexpr QSize kOutput(1920, 1200);
constexpr QSize kOuterSizePx(1005, 781); // 15070 x 11715 twips
constexpr int kPageTimeoutMs = 20000;
constexpr int kWindowTimeoutMs = 10000;
constexpr QPoint kInPage(500, 672); // in the window, below every chapter button
const QColor kGrey(128, 128, 128);

class Installation : public ReaderInstallation {
public:
    using ReaderInstallation::ReaderInstallation;
    // A help program that notes the folder it was started in, in that folder.
    void writeRecordingHelp() const
    {
        writeFile("pic/help.exe", "#!/bin/sh\necho \"$PWD\" >> help-runs.txt\n");
        std::filesystem::permissions(root() / "pic" / "help.exe", std::filesystem::perms::owner_all);
    }
};

class WaylandE2eTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!compositor.isRunning())
            GTEST_SKIP() << "sway cannot run here: " << compositor.failure().toStdString();
        ASSERT_TRUE(pointer.isReady()) << "the compositor took no virtual pointer";
        ASSERT_TRUE(workFolder.isValid());
    }
    ~WaylandE2eTest() override { stopReader(reader); }

    // Starts the reader and waits for its one window (the main window or an error box).
    void start(const Installation &installation)
    {
        ASSERT_TRUE(startReader(reader, installation.executable(), workFolder.path(),
                                compositor.clientEnvironment()));
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < kReaderStartTimeoutMs && reader.state() == QProcess::Running) {
            const auto windows = compositor.windowsOf(reader.processId());
            if (windows.size() == 1 && !windows[0].content.isEmpty()) {
                window = windows[0];
                return;
            }
            QTest::qWait(50);
        }
        FAIL() << "no window";
    }
    // The reader's main window, showing its first page.
    void startReading(const Installation &installation)
    {
        ASSERT_NO_FATAL_FAILURE(start(installation));
        ASSERT_EQ(window.title, QStringLiteral("Velmora"));
        ASSERT_EQ(waitForColour(kInPage, InstallFolder::pageColor(0)), InstallFolder::pageColor(0));
    }
    // Waits for the compositor to have the window as `settled` says (after a command).
    template <typename Settled> bool waitForWindow(Settled settled)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < kWindowTimeoutMs) {
            const auto windows = compositor.windowsOf(reader.processId());
            if (windows.size() == 1 && settled(windows[0])) {
                window = windows[0];
                return true;
            }
            QTest::qWait(50);
        }
        return false;
    }
    // Waits until `inWindow` shows `colour`; the colour last seen otherwise.
    QColor waitForColour(QPoint inWindow, const QColor &colour) const
    {
        QColor seen;
        QElapsedTimer clock;
        clock.start();
        do {
            const QImage shot = compositor.screenshot();
            if (!shot.isNull())
                seen = shot.pixelColor(window.content.topLeft() + inWindow);
            if (seen == colour)
                break;
            QTest::qWait(30);
        } while (clock.elapsed() < kPageTimeoutMs);
        return seen;
    }
    QColor waitForPage(int page) const { return waitForColour(kInPage, InstallFolder::pageColor(page)); }
    void clickButton(int control)
    {
        ASSERT_TRUE(pointer.click(window.content.topLeft() + buttonCentre(control)));
    }
    // The lines the recording help program wrote, once there are `count` (or time is up).
    QStringList helpRuns(int count) const
    {
        QStringList lines;
        QElapsedTimer clock;
        clock.start();
        do {
            QFile file(workFolder.filePath(QStringLiteral("help-runs.txt")));
            if (file.open(QIODevice::ReadOnly))
                lines = QString::fromLocal8Bit(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
            if (lines.size() >= count)
                break;
            QTest::qWait(50);
        } while (clock.elapsed() < kWindowTimeoutMs);
        return lines;
    }
    // What a person sees, kept beside the test results.
    void photograph(const char *name) const
    {
        compositor.screenshot().save(
            QStringLiteral(VELMORA_BINARY_DIR "/e2e-wayland-%1.png").arg(QLatin1String(name)));
    }

    SwayHeadless compositor{kOutput};
    VirtualPointer pointer{compositor};
    QTemporaryDir workFolder; // the reader's working folder, not its installation
    QProcess reader;
    WaylandWindow window;
};

// Tiled (sway's way with a new window) it fills the output, its controls where they
// always are and grey beyond; floating, the compositor centres it at its outer size;
// with decorations it draws itself, those are part of the outer size.
TEST_F(WaylandE2eTest, TiledFloatingAndSelfDecoratedTheWindowKeepsItsControlsAndOuterSize)
{
    Installation installation;
    ASSERT_NO_FATAL_FAILURE(startReading(installation));
    EXPECT_EQ(window.shell, QStringLiteral("xdg_shell")) << "not a native Wayland client";
    EXPECT_EQ(window.content, QRect(QPoint(0, 0), kOutput));
    EXPECT_EQ(waitForColour(QPoint(1500, 400), kGrey), kGrey);
    EXPECT_EQ(waitForColour(QPoint(500, 1000), kGrey), kGrey);
    photograph("tiled");

    const QString self = QStringLiteral("[pid=%1] ").arg(reader.processId());
    ASSERT_TRUE(compositor.command(self + "floating enable"));
    ASSERT_TRUE(
        waitForWindow([](const WaylandWindow &w) { return w.floating && w.content.size() != kOutput; }));
    EXPECT_EQ(window.content.size(), kOuterSizePx);
    const QPoint centred((kOutput.width() - kOuterSizePx.width()) / 2,
                         (kOutput.height() - kOuterSizePx.height()) / 2);
    EXPECT_EQ(window.content.topLeft(), centred);
    EXPECT_EQ(waitForPage(0), InstallFolder::pageColor(0));

    // Qt's own title bar and borders now: the whole of it keeps the outer size, the
    // client area inside gives way to them, and the page still shows.
    const QPoint topRow(500, 10);
    const QColor topRowColour = compositor.screenshot().pixelColor(window.content.topLeft() + topRow);
    ASSERT_TRUE(compositor.command(self + "border csd"));
    QTest::qWait(500);
    ASSERT_TRUE(waitForWindow([](const WaylandWindow &w) { return w.floating; }));
    EXPECT_EQ(window.content.size(), kOuterSizePx);
    EXPECT_NE(compositor.screenshot().pixelColor(window.content.topLeft() + topRow), topRowColour)
        << "no title bar of the reader's own";
    EXPECT_EQ(waitForPage(0), InstallFolder::pageColor(0));
    photograph("decorated");
}

TEST_F(WaylandE2eTest, APageTurnAndAChapterJumpWithThePointer)
{
    Installation installation;
    ASSERT_NO_FATAL_FAILURE(startReading(installation));
    clickButton(mainwindow::kPageDownButton);
    EXPECT_EQ(waitForPage(1), InstallFolder::pageColor(1)) << "the page did not turn";
    clickButton(mainwindow::kContentsButton);
    ASSERT_EQ(waitForPage(2), InstallFolder::pageColor(2)) << "no contents page";
    clickButton(chapterButtonFor(5));
    EXPECT_EQ(waitForPage(5), InstallFolder::pageColor(5)) << "the chapter did not open";
    clickButton(mainwindow::kPageDownButton);
    EXPECT_EQ(waitForPage(6), InstallFolder::pageColor(6));
}

// Each click on a button of the inactive window, after a click into another program's
// window (the error box of a second, broken reader), activates it and turns one page.
TEST_F(WaylandE2eTest, AClickOnAButtonOfTheInactiveWindowActivatesItAndRunsTheCommandOnce)
{
    Installation installation;
    ASSERT_NO_FATAL_FAILURE(startReading(installation));
    Installation broken(InstallOptions{.database = false});
    QProcess otherProgram;
    ASSERT_TRUE(
        startReader(otherProgram, broken.executable(), workFolder.path(), compositor.clientEnvironment()));
    const auto otherWindow = [&] {
        std::optional<WaylandWindow> shown;
        QElapsedTimer clock;
        clock.start();
        while (!shown && clock.elapsed() < kReaderStartTimeoutMs) {
            const auto windows = compositor.windowsOf(otherProgram.processId());
            if (windows.size() == 1 && !windows[0].content.isEmpty())
                shown = windows[0];
            QTest::qWait(50);
        }
        return shown;
    }();
    ASSERT_TRUE(otherWindow.has_value()) << "the other program showed no window";
    const auto readerActive = [&](bool active) {
        return waitForWindow([active](const WaylandWindow &w) { return w.focused == active; });
    };
    for (int page = 1; page <= 5; ++page) {
        SCOPED_TRACE(page);
        // Into the box, clear of its button.
        ASSERT_TRUE(pointer.click(otherWindow->content.topLeft() + QPoint(20, 20)));
        ASSERT_TRUE(readerActive(false)) << "the other program's window did not become active";
        clickButton(mainwindow::kPageDownButton);
        EXPECT_TRUE(readerActive(true)) << "the click did not activate the reader";
        ASSERT_EQ(waitForPage(page), InstallFolder::pageColor(page)) << "the click ran no command";
        QTest::qWait(150);
        ASSERT_EQ(waitForColour(kInPage, InstallFolder::pageColor(page)), InstallFolder::pageColor(page))
            << "the command ran twice";
    }
    stopReader(otherProgram);
}

TEST_F(WaylandE2eTest, HelpStartsTheHelpProgramAndQuitEndsTheReader)
{
    Installation installation;
    installation.writeRecordingHelp();
    ASSERT_NO_FATAL_FAILURE(startReading(installation));
    clickButton(mainwindow::kHelpButton);
    const QStringList runs = helpRuns(1);
    ASSERT_EQ(runs.size(), 1) << "the help program did not start";
    EXPECT_EQ(QDir(runs[0]).canonicalPath(), QDir(workFolder.path()).canonicalPath());
    EXPECT_EQ(reader.state(), QProcess::Running);
    clickButton(mainwindow::kQuitButton);
    // The click's own wait may already have seen the reader end; waitForFinished is false then.
    ASSERT_TRUE(reader.state() == QProcess::NotRunning || reader.waitForFinished(10000))
        << "quit did not end the reader";
    EXPECT_EQ(reader.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(reader.exitCode(), 0);
}

// The box floats, centred by the compositor; its button, clicked, ends the reader with
// a failure status.
TEST_F(WaylandE2eTest, WithoutTheDatabaseOneErrorBoxWhoseButtonEndsTheReader)
{
    Installation installation(InstallOptions{.database = false});
    ASSERT_NO_FATAL_FAILURE(start(installation));
    EXPECT_EQ(window.title, QStringLiteral("Tarnwick"));
    EXPECT_TRUE(window.floating);
    EXPECT_LE((window.outer.center() - QRect(QPoint(0, 0), kOutput).center()).manhattanLength(), 2);
    QTest::qWait(300);
    EXPECT_EQ(compositor.windowsOf(reader.processId()).size(), 1u) << "a second window";
    photograph("error-box");
    // Its one button, OK, sits in the box's bottom right corner.
    ASSERT_TRUE(pointer.click(window.content.bottomRight() - QPoint(50, 22)));
    ASSERT_TRUE(reader.state() == QProcess::NotRunning || reader.waitForFinished(10000))
        << "the box did not end the reader";
    EXPECT_EQ(reader.exitStatus(), QProcess::NormalExit);
    EXPECT_NE(reader.exitCode(), 0);
}

} // namespace
} // namespace velmora::testing
