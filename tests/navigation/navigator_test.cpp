#include "fakereaderwindow.h"
#include "navigation/navigator.h"

#include <gtest/gtest.h>

using namespace velmora::navigation;
using velmora::navigation::testing::FakeReaderWindow;
using velmora::navigation::testing::recordDocument;

namespace {

// The reading sequence, written out independently of the page table: what each page shows.
std::string expectedPath(int page)
{
    static const char *files[] = {"\\res\\1p.html",         "\\res\\2p.html",
                                  "\\res\\3p.html",         "\\res\\Chapter\\1.html",
                                  "\\res\\Chapter\\2.html", "\\res\\Chapter\\3.html",
                                  "\\res\\Chapter\\4.html", "\\res\\Chapter\\5.html"};
    return page < 8 ? files[page] : "\\res\\Chapter\\faj.trm";
}

void expectOnPage(const FakeReaderWindow &w, int page, const std::string &path)
{
    SCOPED_TRACE("page " + std::to_string(page));
    EXPECT_EQ(w.pageno(), page);
    EXPECT_EQ(w.pagepath, w.root.string() + path);
    ASSERT_FALSE(w.shown.empty());
    EXPECT_EQ(w.shown.back().address, w.pagepath);
    if (page >= 8) {
        EXPECT_EQ(w.shown.back().document, recordDocument(page - 8));
    }
    EXPECT_EQ(w.pageUpVisible, page > 0);
    EXPECT_EQ(w.pageDownVisible, page < 33);
    EXPECT_EQ(w.panelVisible, page == 2);
}

} // namespace

TEST(Navigator, WalksTheWholeBookForwardAndBack)
{
    FakeReaderWindow w;
    Navigator nav(w);
    for (int page = 1; page <= 33; ++page) {
        const int focusBefore = w.focusMoves;
        nav.pageDown();
        expectOnPage(w, page, expectedPath(page));
        EXPECT_EQ(w.text2, std::to_string(page));
        EXPECT_GE(w.focusMoves, focusBefore + 1);
    }
    for (int page = 32; page >= 0; --page) {
        nav.pageUp();
        expectOnPage(w, page, page == 8 ? "\\res\\Chapter\\temp.html" : expectedPath(page));
        EXPECT_EQ(w.text2, std::to_string(page));
    }
    const int navigations = 66;
    EXPECT_EQ(static_cast<int>(w.shown.size()), navigations);
}

TEST(Navigator, EveryChapterButtonShowsItsPageFromTheContents)
{
    FakeReaderWindow w;
    Navigator nav(w);
    for (int control = 19; control <= 51; ++control) {
        SCOPED_TRACE(control);
        nav.pageDown(); // leave the record position somewhere else first
        nav.contents();
        expectOnPage(w, 2, "\\res\\3p.html");
        const std::string text2 = w.text2;
        nav.chapter(control);
        const int page = control <= 20 ? control - 19 : control - 18;
        expectOnPage(w, page, expectedPath(page));
        EXPECT_EQ(w.text2, text2) << "chapter buttons leave Text2 alone";
        if (page >= 8 && page < 33) {
            nav.pageDown();
            expectOnPage(w, page + 1, expectedPath(page + 1));
        }
    }
}

TEST(Navigator, PageDownOntoTheFirstRecordRewindsAfterTheContents)
{
    FakeReaderWindow w;
    Navigator nav(w);
    nav.chapter(38); // record 12, page 20
    nav.contents();
    for (int i = 0; i < 6; ++i)
        nav.pageDown();
    expectOnPage(w, 8, expectedPath(8));
    nav.pageDown();
    expectOnPage(w, 9, expectedPath(9));
}

TEST(Navigator, FixedPageChapterKeepsTheRecordPosition)
{
    FakeReaderWindow w;
    Navigator nav(w);
    nav.chapter(40); // record 14
    nav.contents();
    nav.chapter(23); // \res\Chapter\3.html
    expectOnPage(w, 5, expectedPath(5));
    EXPECT_EQ(*w.rsxs().fields("m1").value(), recordDocument(14));
}

TEST(Navigator, ShortTableShowsEmptyPagesBeyondItsEndWithoutFailing)
{
    const std::vector<std::optional<std::string>> rows{recordDocument(0), recordDocument(1),
                                                       recordDocument(2)};
    FakeReaderWindow w(rows);
    Navigator nav(w);
    nav.chapter(26);
    for (int page = 9; page <= 33; ++page) {
        SCOPED_TRACE(page);
        ASSERT_NO_THROW(nav.pageDown());
        EXPECT_EQ(w.pageno(), page);
        EXPECT_EQ(w.shown.back().document, page - 8 < 3 ? recordDocument(page - 8) : "");
    }
    ASSERT_NO_THROW(nav.pageUp());
    EXPECT_EQ(w.shown.back().document, "");
    ASSERT_NO_THROW(nav.chapter(27));
    EXPECT_EQ(w.shown.back().document, recordDocument(1));
}

TEST(Navigator, EmptyTableShowsEmptyRecordPages)
{
    FakeReaderWindow w(std::vector<std::optional<std::string>>{});
    Navigator nav(w);
    ASSERT_NO_THROW(nav.chapter(30));
    EXPECT_EQ(w.shown.back().document, "");
    ASSERT_NO_THROW(nav.pageDown());
    ASSERT_NO_THROW(nav.pageUp());
    EXPECT_EQ(w.pageno(), 12);
}

TEST(Navigator, TurnsBeyondTheEndsChangeNothing)
{
    FakeReaderWindow w;
    Navigator nav(w);
    nav.pageUp();
    EXPECT_EQ(w.pageno(), 0);
    EXPECT_TRUE(w.shown.empty());
    nav.chapter(51);
    nav.pageDown();
    EXPECT_EQ(w.pageno(), 33);
    EXPECT_EQ(w.shown.size(), 1u);
}
