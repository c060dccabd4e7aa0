// The reader as a person meets it: started from an installation folder, it shows one
// window, "Velmora", of its size, with the first page; started from a broken
// installation it shows one error box and ends with a failure status.
#include "installfolder.h"
#include "readerinstallation.h"
#include "xdisplay.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

namespace velmora::testing {
namespace {

constexpr int kStartTimeoutMs = 60000;
constexpr std::uint32_t kReturnKey = 0xff0d;

class ReaderProcess {
public:
    ReaderProcess(const ReaderInstallation &installation, const QStringList &arguments = {})
    {
        m_process.setProgram(installation.executable());
        m_process.setArguments(arguments);
        // Started from elsewhere: the working folder must not matter.
        m_process.setWorkingDirectory(QDir::tempPath());
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        m_process.waitForStarted();
    }
    ~ReaderProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }
    qint64 pid() const { return m_process.processId(); }
    bool running() const { return m_process.state() == QProcess::Running; }
    // Waits for the process to end; its exit status, or nothing if it did not end.
    std::optional<int> finish(int timeoutMs = 20000)
    {
        if (!m_process.waitForFinished(timeoutMs))
            return std::nullopt;
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }

private:
    QProcess m_process;
};

class StartupE2eTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!display.isOpen())
            GTEST_SKIP() << "no X display";
    }
    // The process's visible windows once at least one shows (or the process ends).
    std::vector<XWindow> waitForWindows(ReaderProcess &reader)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < kStartTimeoutMs && reader.running()) {
            auto windows = display.visibleWindowsOf(reader.pid());
            if (!windows.empty()) {
                // A moment more, so that a second window would have shown too.
                QTest::qWait(300);
                return display.visibleWindowsOf(reader.pid());
            }
            QTest::qWait(50);
        }
        return {};
    }
    // Polls the screen until `where` shows `colour`, keeping `window` on top: the tests
    // of other programs may show windows on the same display meanwhile.
    bool waitForColour(std::uint32_t window, QPoint where, const QColor &colour, QImage *shot)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < kStartTimeoutMs) {
            display.raise(window);
            *shot = display.screenshot();
            if (!shot->isNull() && shot->pixelColor(where) == colour)
                return true;
            QTest::qWait(100);
        }
        return false;
    }
    // A broken installation: one error box titled Tarnwick, no main window; Return
    // closes the box and the process ends with a failure status.
    void expectOneErrorBox(const ReaderInstallation &installation)
    {
        ReaderProcess reader(installation);
        const auto windows = waitForWindows(reader);
        ASSERT_EQ(windows.size(), 1u);
        EXPECT_EQ(windows[0].title, QStringLiteral("Tarnwick"));
        display.pressKey(windows[0].id, kReturnKey);
        const auto status = reader.finish();
        ASSERT_TRUE(status.has_value()) << "the box did not close the program";
        EXPECT_NE(*status, 0);
    }

    XDisplay display;
};

TEST_F(StartupE2eTest, OneWindowOfItsSizeShowsTheFirstPageAndClosingItEndsTheProgram)
{
    ReaderInstallation installation;
    ReaderProcess reader(installation);
    const auto windows = waitForWindows(reader);
    ASSERT_EQ(windows.size(), 1u) << "exactly the main window";
    const XWindow &main = windows[0];
    EXPECT_EQ(main.title, QStringLiteral("Velmora"));
    // 15070 x 11715 twips at 15 twips to the pixel; without a window manager there is no frame.
    EXPECT_EQ(main.geometry.size(), QSize(1005, 781));
    // The first page fills the browser view, which spans (0, 72)-(1000, 697) of the window.
    QImage shot;
    const QPoint inPage = main.geometry.topLeft() + QPoint(500, 72 + 400);
    EXPECT_TRUE(waitForColour(main.id, inPage, InstallFolder::firstPageColor(), &shot))
        << "found " << shot.pixelColor(inPage).name().toStdString();
    shot.copy(main.geometry).save(QStringLiteral(VELMORA_BINARY_DIR "/e2e-first-page.png"));
    display.requestClose(main.id);
    const auto status = reader.finish();
    ASSERT_TRUE(status.has_value()) << "closing the window did not end the program";
    EXPECT_EQ(*status, 0);
}

TEST_F(StartupE2eTest, ArgumentsChangeNothing)
{
    ReaderInstallation installation;
    // Were these read, the reader would draw off screen or elsewhere, not on this display.
    ReaderProcess reader(installation,
                         {"-platform", "offscreen", "--webEngineArgs", "--single-process", "/tmp"});
    const auto windows = waitForWindows(reader);
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(windows[0].title, QStringLiteral("Velmora"));
    display.requestClose(windows[0].id);
    EXPECT_EQ(reader.finish(), std::optional<int>(0));
}

TEST_F(StartupE2eTest, WithoutTheDatabaseOneErrorBoxAndNoWindow)
{
    expectOneErrorBox(ReaderInstallation(InstallOptions{.database = false}));
}

TEST_F(StartupE2eTest, WithAnotherPasswordOneErrorBoxAndNoWindow)
{
    expectOneErrorBox(ReaderInstallation(InstallOptions{.password = "73other"}));
}

TEST_F(StartupE2eTest, WithoutThePageTableOneErrorBoxAndNoWindow)
{
    expectOneErrorBox(ReaderInstallation(InstallOptions{.table = "pages"}));
}

} // namespace
} // namespace velmora::testing
