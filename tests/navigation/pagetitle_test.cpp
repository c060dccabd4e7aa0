// A page's title read from its bytes as the web view shows it.
#include "navigation/pagetitle.h"

#include <gtest/gtest.h>

namespace velmora::navigation {
namespace {

std::string utf16le(std::string_view ascii)
{
    std::string bytes = "\xFF\xFE";
    for (const char c : ascii)
        bytes += {c, '\0'};
    return bytes;
}

TEST(PageTitle, IsDecodedAsTheViewDecodesThePage)
{
    // Declared, in either form of the declaration.
    EXPECT_EQ(pageTitle("<html><head><meta charset=\"utf-8\"><title>第一章</title>"), "第一章");
    EXPECT_EQ(pageTitle("<head><META http-equiv=Content-Type content='text/html; charset=GBK'>"
                        "<TITLE>\xB5\xDA\xD2\xBB</TITLE>"),
              "第一");
    // Undeclared pages are GBK; a charset served with the page comes before its declaration.
    EXPECT_EQ(pageTitle("<title>\xB5\xDA\xD2\xBB</title>"), "第一");
    EXPECT_EQ(pageTitle("<meta charset=gbk><title>第一</title>", "UTF-8"), "第一");
    // A byte order mark comes before both.
    EXPECT_EQ(pageTitle("\xEF\xBB\xBF<title>第一</title>", "GBK"), "第一");
    EXPECT_EQ(pageTitle(utf16le("<title>A</title>")), "A");
    // An unknown charset is taken as the undeclared one; bytes of no character show as U+FFFD.
    EXPECT_EQ(pageTitle("<meta charset=no-such-set><title>\xB5\xDA</title>"), "第");
    EXPECT_EQ(pageTitle("<meta charset=utf-8><title>a\xFF"
                        "b</title>"),
              "a\xEF\xBF\xBD"
              "b");
}

TEST(PageTitle, ReplacesEntitiesAndCollapsesWhiteSpace)
{
    EXPECT_EQ(pageTitle("<meta charset=utf-8><title>\n  A &amp;\tB&#x4E2D;&#20013; &lt;c&gt;&nbsp; </title>"),
              "A & B中中 <c>\u00a0");
    // What is no entity stays as written.
    EXPECT_EQ(pageTitle("<meta charset=utf-8><title>&bogus; &#xD800; &#0; & x</title>"),
              "&bogus; &#xD800; &#0; & x");
}

TEST(PageTitle, StaysWithinItsBoundsOnPagesWithoutOne)
{
    EXPECT_EQ(pageTitle(""), "");
    EXPECT_EQ(pageTitle("<html><body>no title</body></html>"), "");
    EXPECT_EQ(pageTitle("<titles>not it</titles><title lang=zh>it</title>"), "it");
    EXPECT_EQ(pageTitle("<title"), "");
    // Unclosed, it runs to the page's end, but no further than the longest title.
    EXPECT_EQ(pageTitle("<meta charset=utf-8><title>open"), "open");
    EXPECT_EQ(pageTitle("<meta charset=utf-8><title>" + std::string(5000, 'x')).size(), kLongestTitleBytes);
    // A title beyond the head that is searched is not found.
    EXPECT_EQ(pageTitle(std::string(kTitleSearchBytes, ' ') + "<title>late</title>"), "");
}

} // namespace
} // namespace velmora::navigation
