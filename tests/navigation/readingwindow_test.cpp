// The reading commands on the real main window where the window itself matters: what the
// browser view shows after the same button twice, with scratch files that cannot be
// written, and with a table shorter than the book.
#include "content/jetwriter.h"
#include "controls/browserview.h"
#include "controls/flashbutton.h"
#include "mainwindow/mainform.h"
#include "readingwindow.h"

#include <QLineEdit>
#include <QTest>

#include <filesystem>

namespace velmora::testing {
namespace {

constexpr int kUp = 11;
constexpr int kDown = 12;
constexpr int kContents = 10;

QString recordTitle(int k)
{
    return QStringLiteral("record %1").arg(k);
}

TEST_F(ReadingWindowTest, TheSameChapterButtonTwiceWritesThePageFileAgainAndShowsTheSameRecord)
{
    InstallFolder folder;
    ASSERT_TRUE(startUp(folder));
    for (const int button : {30, 30, 21, 21}) { // record 4 twice, then a fixed page twice
        SCOPED_TRACE(button);
        ASSERT_EQ(clickButton(kContents), "");
        // Something else in the page file: the second click must write it again.
        folder.writeFile("res/Chapter/faj.trm", "<html><title>stale</title></html>");
        ASSERT_EQ(clickButton(button), "");
        if (button == 30) {
            EXPECT_EQ(Form1->pageno, 12);
            EXPECT_EQ(fileBytes(folder, "res/Chapter/faj.trm"), InstallFolder::recordDocument(4));
            EXPECT_EQ(waitForTitle(recordTitle(4)), recordTitle(4));
        } else {
            EXPECT_EQ(Form1->pageno, 3);
            EXPECT_EQ(waitForTitle("Velmora 3"), "Velmora 3");
        }
    }
    // Page down after the second click goes on from the record the button chose.
    ASSERT_EQ(clickButton(kContents), "");
    ASSERT_EQ(clickButton(30), "");
    ASSERT_EQ(clickButton(kDown), "");
    EXPECT_EQ(waitForTitle(recordTitle(5)), recordTitle(5));
    EXPECT_TRUE(recorder.boxes.isEmpty());
}

// A folder in the place of the page file: no one, not even root, can write the file.
TEST_F(ReadingWindowTest, UnwritableScratchFilesStillShowTheRightRecordsAndReportNothing)
{
    InstallFolder folder;
    // One folder empty, one holding a file: neither is taken away to make room.
    std::filesystem::create_directories(folder.root() / "res" / "Chapter" / "faj.trm");
    folder.writeFile("res/Chapter/temp.html/kept", "kept");
    ASSERT_TRUE(startUp(folder));
    ASSERT_EQ(clickButton(kContents), "");
    ASSERT_EQ(clickButton(25), ""); // page 7
    const struct {
        int button;
        int page;
        int record;
    } steps[] = {
        {kDown, 8, 0},                                    // page file
        {kDown, 9, 1},                                    // the same address again, another record
        {kDown, 10, 2}, {kUp, 9, 1},        {kUp, 8, 0},  // temp.html
        {kDown, 9, 1},  {kContents, 2, -1}, {51, 33, 25}, // chapter button
        {kUp, 32, 24},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.page);
        ASSERT_EQ(clickButton(step.button), "");
        EXPECT_EQ(Form1->pageno, step.page);
        if (step.record < 0)
            continue;
        EXPECT_EQ(waitForTitle(recordTitle(step.record)), recordTitle(step.record));
        EXPECT_EQ(bodyText(), QStringLiteral("记录 %1").arg(step.record));
    }
    EXPECT_TRUE(std::filesystem::is_directory(folder.root() / "res" / "Chapter" / "faj.trm"));
    EXPECT_EQ(fileBytes(folder, "res/Chapter/temp.html/kept"), "kept");
    EXPECT_TRUE(recorder.boxes.isEmpty());
}

// Once the folder is writable again the page comes from the file once more.
TEST_F(ReadingWindowTest, APageFileThatBecomesWritableAgainIsWrittenAndShown)
{
    InstallFolder folder;
    const auto pageFile = folder.root() / "res" / "Chapter" / "faj.trm";
    std::filesystem::create_directories(pageFile);
    ASSERT_TRUE(startUp(folder));
    ASSERT_EQ(clickButton(kContents), "");
    ASSERT_EQ(clickButton(26), "");
    EXPECT_EQ(waitForTitle(recordTitle(0)), recordTitle(0));
    std::filesystem::remove(pageFile);
    ASSERT_EQ(clickButton(kDown), "");
    EXPECT_EQ(fileBytes(folder, "res/Chapter/faj.trm"), InstallFolder::recordDocument(1));
    EXPECT_EQ(waitForTitle(recordTitle(1)), recordTitle(1));
    // The file now holds the page: what it holds is what is shown.
    ASSERT_EQ(clickButton(kDown), "");
    EXPECT_EQ(waitForTitle(recordTitle(2)), recordTitle(2));
}

// Ten records for 26 record pages: the pages beyond the table are empty, nothing is
// reported, and the commands go on working.
TEST_F(ReadingWindowTest, ATableShorterThanTheBookGivesEmptyPagesAndNoMessage)
{
    InstallFolder folder(InstallOptions{.records = 10});
    ASSERT_TRUE(startUp(folder));
    ASSERT_EQ(clickButton(kContents), "");
    ASSERT_EQ(clickButton(35), ""); // record 9, the last one
    EXPECT_EQ(fileBytes(folder, "res/Chapter/faj.trm"), InstallFolder::recordDocument(9));
    for (int page = 18; page <= 20; ++page) {
        SCOPED_TRACE(page);
        ASSERT_EQ(clickButton(kDown), "");
        EXPECT_EQ(Form1->pageno, page);
        EXPECT_EQ(fileBytes(folder, "res/Chapter/faj.trm"), std::string());
    }
    ASSERT_EQ(clickButton(kContents), "");
    ASSERT_EQ(clickButton(51), "");
    EXPECT_EQ(Form1->pageno, 33);
    EXPECT_EQ(fileBytes(folder, "res/Chapter/faj.trm"), std::string());
    EXPECT_TRUE(Form1->ShockwaveFlash(kDown)->isHidden());
    // Back inside the table, the records show again.
    ASSERT_EQ(clickButton(kContents), "");
    ASSERT_EQ(clickButton(27), "");
    EXPECT_EQ(fileBytes(folder, "res/Chapter/faj.trm"), InstallFolder::recordDocument(1));
    EXPECT_EQ(waitForTitle(recordTitle(1)), recordTitle(1));
    EXPECT_TRUE(recorder.boxes.isEmpty());
}

// A Null page between two records: the page file is there and empty, the view shows an
// empty page, nothing is reported, and the next page is the next record.
TEST_F(ReadingWindowTest, ANullRecordShowsAnEmptyPageBetweenItsNeighbours)
{
    InstallFolder folder(InstallOptions{.database = false});
    content::BookTable table;
    for (int k = 0; k < 26; ++k)
        table.rows.push_back(k == 3 ? std::nullopt : std::optional(InstallFolder::recordDocument(k)));
    content::JetWriteOptions options;
    options.password = "64tolvaner82";
    ASSERT_TRUE(content::writeJetDatabase(folder.root() / "res" / "Chapter" / "szh.dll", table, options));
    ASSERT_TRUE(startUp(folder));
    ASSERT_EQ(clickButton(kContents), "");
    ASSERT_EQ(clickButton(28), ""); // record 2
    EXPECT_EQ(waitForTitle(recordTitle(2)), recordTitle(2));
    ASSERT_EQ(clickButton(kDown), "");
    EXPECT_EQ(fileBytes(folder, "res/Chapter/faj.trm"), std::string());
    for (int waited = 0; Form1->WebBrowser1->title() == recordTitle(2) && waited < 10000; waited += 20)
        QTest::qWait(20);
    EXPECT_NE(Form1->WebBrowser1->title(), recordTitle(2)) << "the record before is still shown";
    EXPECT_EQ(bodyText(), QString());
    ASSERT_EQ(clickButton(kDown), "");
    EXPECT_EQ(waitForTitle(recordTitle(4)), recordTitle(4));
    ASSERT_EQ(clickButton(kUp), ""); // record 3 again, found from the first record
    EXPECT_EQ(fileBytes(folder, "res/Chapter/faj.trm"), std::string());
    EXPECT_EQ(Form1->pageno, 11);
    EXPECT_TRUE(recorder.boxes.isEmpty());
}

} // namespace
} // namespace velmora::testing
