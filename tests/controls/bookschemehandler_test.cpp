// The reply type of the book's files: pages as HTML, and GBK for pages that do not
// say what they are written in.
#include "controls/bookschemehandler.h"

#include <gtest/gtest.h>

namespace velmora::controls {
namespace {

struct MimeRow {
    const char *name;
    const char *fileName;
    QByteArray data;
    const char *expected;
    QByteArray writtenIn{}; // the encoding the program wrote the page in, if it did
};

TEST(BookSchemeMime, PagesAreHtmlAndUndeclaredPagesAreGbk)
{
    const MimeRow rows[] = {
        {"trm without declaration", "faj.trm", "<html><body>\xc4\xbf\xc2\xbc</body></html>",
         "text/html; charset=GBK"},
        {"html without declaration", "1p.html", "<p>text</p>", "text/html; charset=GBK"},
        {"htm in capitals", "OLD.HTM", "<p>text</p>", "text/html; charset=GBK"},
        {"meta charset", "a.html", "<html><head><meta charset=\"utf-8\"></head><body></body>", "text/html"},
        {"meta http-equiv", "a.trm",
         "<HEAD><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=gb2312\">", "text/html"},
        {"utf-8 byte-order mark", "a.html", "\xEF\xBB\xBF<p>x</p>", "text/html"},
        {"utf-16 byte-order mark", "a.html", QByteArray("\xFF\xFE<\0p\0", 6), "text/html"},
        {"meta after the body does not count", "a.html", "<body><meta charset=\"utf-8\"></body>",
         "text/html; charset=GBK"},
        {"charset only in the text", "a.html", "<body>charset is a word</body>", "text/html; charset=GBK"},
        {"empty page", "empty.trm", "", "text/html; charset=GBK"},
        {"image", "pic.png", "\x89PNG", "image/png"},
        {"style sheet", "book.css", "body{}", "text/css"},
        {"written as UTF-8, declaring nothing", "faj.trm", "<p>\xe7\x9b\xae</p>", "text/html; charset=UTF-8",
         "UTF-8"},
        {"written as UTF-8 against its own declaration", "faj.trm", "<meta charset=\"gbk\">",
         "text/html; charset=UTF-8", "UTF-8"},
    };
    for (const MimeRow &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(BookSchemeHandler::mimeTypeFor(QString::fromLatin1(row.fileName), row.data, row.writtenIn),
                  QByteArray(row.expected));
    }
}

TEST(BookSchemeUrl, AFileBecomesAPathUrlThatKeepsSpacesAndChineseNames)
{
    const QUrl url = BookSchemeHandler::urlForFile("/opt/my book/第二章.trm");
    EXPECT_EQ(url.scheme(), QStringLiteral("velmora"));
    EXPECT_EQ(url.path(QUrl::FullyDecoded), QStringLiteral("/opt/my book/第二章.trm"));
}

} // namespace
} // namespace velmora::controls
