// Help, quit and the maker link in the real reader, clicked with the mouse on the X
// display: the help program is started (again and again) in the reader's working
// folder, quit ends the process at once, and the maker link leaves the page number.
#include "installfolder.h"
#include "ownxserver.h"
#include "readerinstallation.h"
#include "readerprocess.h"
#include "xdisplay.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

namespace velmora::testing {
namespace {

constexpr int kStartTimeoutMs = 60000;
constexpr int kPageTimeoutMs = 20000;

// Window points, in pixels from the client area's top left (15 twips to the pixel).
constexpr QPoint kHelpButton(132, 40);     // ShockwaveFlash2: 1590, 210, 780 x 780
constexpr QPoint kQuitButton(264, 40);     // ShockwaveFlash3: 3580, 210, 780 x 780
constexpr QPoint kPageDownButton(943, 40); // ShockwaveFlash12: 13670, 210, 960 x 780
constexpr QPoint kLabel1(900, 704);        // 13080, 10440, 1695 x 255
// In the page, below every chapter button.
constexpr QPoint kInPage(500, 672);

// A help program that writes the folder it was started in to a file in that folder.
const std::string kRecordingHelp = "#!/bin/sh\necho \"$PWD\" >> help-runs.txt\n";

class Installation : public ReaderInstallation {
public:
    void writeHelp(const std::string &script) const
    {
        writeFile("pic/help.exe", script);
        std::filesystem::permissions(root() / "pic" / "help.exe", std::filesystem::perms::owner_all);
    }
};

class SideCommandsE2eTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!server.isOpen())
            GTEST_SKIP() << "no Xvfb to start a screen of the test's own";
        ASSERT_TRUE(workFolder.isValid());
    }
    ~SideCommandsE2eTest() override { stopReader(reader); }
    // Starts the reader with `workFolder` as its working folder, and waits for its window.
    bool start(const Installation &installation)
    {
        if (!startReader(reader, installation.executable(), workFolder.path(), server.environment()))
            return false;
        const auto shown = waitForReaderWindow(reader, server.display());
        if (!shown)
            return false;
        window = *shown;
        return waitForPage(0) == InstallFolder::pageColor(0);
    }
    void click(QPoint at) { clickWithMouse(server, window, window.geometry.topLeft() + at); }
    QColor colourInPage() const
    {
        const QImage shot = server.display().screenshot();
        return shot.isNull() ? QColor() : shot.pixelColor(window.geometry.topLeft() + kInPage);
    }
    // Waits until the page shows `page`'s colour; the colour last seen otherwise.
    QColor waitForPage(int page)
    {
        QColor seen;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < kPageTimeoutMs) {
            server.display().raise(window.id);
            seen = colourInPage();
            if (seen == InstallFolder::pageColor(page))
                return seen;
            QTest::qWait(30);
        }
        return seen;
    }
    // Page down until `page` shows; false as soon as one page does not come.
    bool pageDownTo(int page)
    {
        for (int p = 1; p <= page; ++p) {
            click(kPageDownButton);
            if (waitForPage(p) != InstallFolder::pageColor(p))
                return false;
        }
        return true;
    }
    // The lines the recording help program wrote, once there are `count` (or time is up).
    QStringList helpRuns(int count, int timeoutMs = 10000) const
    {
        QElapsedTimer clock;
        clock.start();
        QStringList lines;
        do {
            QFile file(workFolder.filePath(QStringLiteral("help-runs.txt")));
            if (file.open(QIODevice::ReadOnly))
                lines = QString::fromLocal8Bit(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
            if (lines.size() >= count)
                break;
            QTest::qWait(50);
        } while (clock.elapsed() < timeoutMs);
        return lines;
    }

    // A screen of the test's own: nobody else's window takes the click or the focus.
    OwnXServer server;
    QTemporaryDir workFolder; // the reader's working folder, not its installation
    QProcess reader;
    XWindow window;
};

TEST_F(SideCommandsE2eTest, TwoClicksOnHelpStartItTwiceInTheReadersWorkingFolder)
{
    Installation installation;
    installation.writeHelp(kRecordingHelp);
    ASSERT_TRUE(start(installation));
    click(kHelpButton);
    ASSERT_EQ(helpRuns(1).size(), 1) << "the first click started nothing";
    click(kHelpButton);
    const QStringList runs = helpRuns(2);
    ASSERT_EQ(runs.size(), 2) << "the second click started nothing";
    const QString expected = QDir(workFolder.path()).canonicalPath();
    for (const QString &run : runs)
        EXPECT_EQ(QDir(run).canonicalPath(), expected);
    EXPECT_FALSE(std::filesystem::exists(installation.root() / "pic" / "help-runs.txt"));
    // The reader went on without waiting and still shows its page.
    EXPECT_EQ(reader.state(), QProcess::Running);
    EXPECT_EQ(colourInPage(), InstallFolder::pageColor(0));
}

TEST_F(SideCommandsE2eTest, WithoutTheHelpProgramAClickChangesNothingAndTheNextClickWorks)
{
    Installation installation; // no pic/help.exe
    ASSERT_TRUE(start(installation));
    click(kHelpButton);
    QTest::qWait(500);
    EXPECT_EQ(reader.state(), QProcess::Running);
    EXPECT_EQ(server.display().visibleWindowsOf(reader.processId()).size(), 1u)
        << "a message of the reader's own";
    EXPECT_EQ(colourInPage(), InstallFolder::pageColor(0));
    // A broken one (its interpreter is missing, so it cannot start): nothing either.
    installation.writeHelp("#!/nonexistent/interpreter\n");
    click(kHelpButton);
    QTest::qWait(500);
    EXPECT_EQ(reader.state(), QProcess::Running);
    EXPECT_EQ(server.display().visibleWindowsOf(reader.processId()).size(), 1u);
    // Mended meanwhile: the next click on the same button starts it.
    installation.writeHelp(kRecordingHelp);
    click(kHelpButton);
    EXPECT_EQ(helpRuns(1).size(), 1);
    // And the page buttons work as ever.
    click(kPageDownButton);
    EXPECT_EQ(waitForPage(1), InstallFolder::pageColor(1));
}

TEST_F(SideCommandsE2eTest, QuitOnARecordPageEndsTheProcessAndLeavesThePageFile)
{
    Installation installation;
    ASSERT_TRUE(start(installation));
    ASSERT_TRUE(pageDownTo(8)) << "the first record page did not come";
    const auto pageFile = installation.root() / "res" / "Chapter" / "faj.trm";
    ASSERT_TRUE(std::filesystem::exists(pageFile));
    const std::string written = [&] {
        QFile file(QString::fromStdString(pageFile.string()));
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
    }();
    EXPECT_EQ(written, InstallFolder::recordDocument(0));
    click(kQuitButton);
    ASSERT_TRUE(reader.waitForFinished(10000)) << "quit did not end the reader";
    EXPECT_EQ(reader.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(reader.exitCode(), 0);
    EXPECT_TRUE(std::filesystem::exists(pageFile));
}

TEST_F(SideCommandsE2eTest, AfterTheMakerLinkOnPage5PageDownShowsPage6)
{
    Installation installation;
    ASSERT_TRUE(start(installation));
    ASSERT_TRUE(pageDownTo(5));
    click(kLabel1);
    // The maker's page (or the view's page for an address it cannot reach) replaces page 5.
    // The view may blank for a frame as the page's process changes: the new page must stay.
    QElapsedTimer clock;
    clock.start();
    QElapsedTimer away;
    while (clock.elapsed() < kPageTimeoutMs && !(away.isValid() && away.elapsed() > 300)) {
        if (colourInPage() == InstallFolder::pageColor(5))
            away.invalidate();
        else if (!away.isValid())
            away.start();
        QTest::qWait(50);
    }
    EXPECT_NE(colourInPage(), InstallFolder::pageColor(5)) << "the maker link showed nothing";
    click(kLabel1); // a second click navigates there again, and harms nothing
    QTest::qWait(300);
    click(kPageDownButton);
    EXPECT_EQ(waitForPage(6), InstallFolder::pageColor(6));
    EXPECT_EQ(reader.state(), QProcess::Running);
}

// A user's own copy of the book, copied off a disc with every name in upper case, and
// the reader put into its folder: the pages, the movies, the database, the page file and
// the help program are all found.
TEST_F(SideCommandsE2eTest, AnInstallationWhoseNamesAreAllUpperCaseReadsAsEver)
{
    Installation installation;
    installation.writeHelp(kRecordingHelp);
    std::vector<std::filesystem::path> entries;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(installation.root()))
        entries.push_back(entry.path());
    // Deepest first, so that a folder is renamed after everything in it.
    std::sort(entries.begin(), entries.end(),
              [](const auto &a, const auto &b) { return a.string() > b.string(); });
    for (const auto &entry : entries) {
        if (entry.filename() == "velmora")
            continue;
        const QString upper = QString::fromStdString(entry.filename().string()).toUpper();
        std::filesystem::rename(entry, entry.parent_path() / upper.toStdString());
    }
    ASSERT_TRUE(std::filesystem::exists(installation.root() / "RES" / "CHAPTER" / "SZH.DLL"));
    ASSERT_TRUE(std::filesystem::exists(installation.root() / "PIC" / "HELP.EXE"));

    ASSERT_TRUE(start(installation)) << "the first page did not show";
    ASSERT_TRUE(pageDownTo(8)) << "a page did not come";
    EXPECT_FALSE(std::filesystem::exists(installation.root() / "res")) << "a second, lower-case folder";
    EXPECT_TRUE(std::filesystem::exists(installation.root() / "RES" / "CHAPTER" / "faj.trm"));
    click(kHelpButton);
    EXPECT_EQ(helpRuns(1).size(), 1) << "the help program did not start";
}

} // namespace
} // namespace velmora::testing
