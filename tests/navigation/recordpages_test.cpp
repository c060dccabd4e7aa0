#include "fakereaderwindow.h"
#include "navigation/recordpages.h"

#include <gtest/gtest.h>

using namespace velmora::navigation;
using velmora::navigation::testing::FakeReaderWindow;

namespace fs = std::filesystem;

namespace {

std::string pageFile(const FakeReaderWindow &w)
{
    return w.root.string() + "\\res\\Chapter\\faj.trm";
}

} // namespace

TEST(Writepage, AShorterRecordLeavesNothingOfTheLongerOneBehind)
{
    FakeReaderWindow w({std::string(5000, 'L'), std::string("short"), std::nullopt});
    writepage(w, pageFile(w));
    EXPECT_EQ(w.fileText(w.root / "res/Chapter/faj.trm").size(), 5000u);
    movenext(w);
    EXPECT_EQ(w.fileText(w.root / "res/Chapter/faj.trm"), "short");
    EXPECT_EQ(w.pagepath, pageFile(w));
    movenext(w); // Null: an empty page
    EXPECT_TRUE(fs::exists(w.root / "res/Chapter/faj.trm"));
    EXPECT_EQ(fs::file_size(w.root / "res/Chapter/faj.trm"), 0u);
    movenext(w); // past the last record: an empty page as well
    EXPECT_EQ(fs::file_size(w.root / "res/Chapter/faj.trm"), 0u);
}

TEST(Writepage, ResolvesTheFolderWithoutRegardToCase)
{
    FakeReaderWindow w({std::string("bytes\0with nul", 14)});
    writepage(w, w.root.string() + "\\RES\\chapter\\FAJ.trm");
    EXPECT_EQ(w.fileText(w.root / "res/Chapter/FAJ.trm"), std::string("bytes\0with nul", 14));
}

TEST(Writepage, UnwritablePageFileIsServedFromMemoryUntilItCanBeWrittenAgain)
{
    FakeReaderWindow w({std::string("record zero"), std::string("record one")});
    // A folder in the page file's place can be neither deleted nor written, even by root.
    const fs::path blocker = w.root / "res/Chapter/faj.trm";
    fs::create_directories(blocker / "held");

    writepage(w, pageFile(w));
    w.setPagepath(pageFile(w));
    w.navigateToPagepath();
    EXPECT_EQ(w.shown.back().document, "record zero");
    movenext(w);
    w.navigateToPagepath();
    EXPECT_EQ(w.shown.back().document, "record one") << "the page shown follows the record";
    EXPECT_TRUE(fs::is_directory(blocker));

    fs::remove_all(blocker);
    w.rsxs().moveFirst().check();
    writepage(w, pageFile(w));
    w.navigateToPagepath();
    EXPECT_EQ(w.fileText(blocker), "record zero");
    EXPECT_FALSE(w.written.pageFor(blocker).has_value()) << "the file serves the page again";
}

TEST(Writepage, AnEmptyFolderInThePageFilesPlaceIsLeftAlone)
{
    FakeReaderWindow w({std::string("record zero")});
    const fs::path folder = w.root / "res/Chapter/faj.trm";
    fs::create_directories(folder);
    writepage(w, pageFile(w));
    EXPECT_TRUE(fs::is_directory(folder)) << "only a file is the page's to delete";
    EXPECT_EQ(w.written.pageFor(folder), "record zero");
}

TEST(Writepage, APageOfMemoTextIsKnownAsUtf8AndAPageOfBytesIsNot)
{
    const fs::path file = "res/Chapter/faj.trm";
    FakeReaderWindow memo({std::string("<p>\u4e2d\u6587</p>")}, velmora::content::FieldType::Memo);
    writepage(memo, pageFile(memo));
    EXPECT_EQ(memo.fileText(memo.root / file), "<p>\u4e2d\u6587</p>");
    EXPECT_EQ(memo.written.charsetOf(memo.root / file), "UTF-8");
    FakeReaderWindow bytes({std::string("<p>\xd6\xd0\xce\xc4</p>")});
    writepage(bytes, pageFile(bytes));
    EXPECT_EQ(bytes.written.charsetOf(bytes.root / file), "");
}

TEST(Writepage, MissingFolderKeepsThePageInMemory)
{
    FakeReaderWindow w({std::string("only record")});
    fs::remove_all(w.root / "res" / "Chapter");
    writepage(w, pageFile(w));
    EXPECT_EQ(w.written.pageFor(w.root / "res/Chapter/faj.trm"), "only record");
}
