// What the browser view lets through: a book page takes only the installation's files
// into itself but may be left for the web; the web never reaches the installation; the
// local file system is closed to all.
#include "controls/requestpolicy.h"

#include <gtest/gtest.h>

namespace velmora::controls {
namespace {

struct RequestRow {
    const char *name;
    PageRequest request;
    bool allowed;
};

TEST(RequestPolicy, BookPagesKeepToTheInstallationAndTheWebKeepsOutOfIt)
{
    const QUrl page("velmora:/opt/book/res/1p.html");
    const QUrl site("http://www.example.com/");
    const QUrl bookOrigin("velmora:");
    const QUrl opaque("null");
    const QUrl siteOrigin("http://www.example.com");
    const RequestRow rows[] = {
        {"the program shows a page", {page, true, page, {}}, true},
        {"a book page's link to another",
         {QUrl("velmora:/opt/book/res/2p.html"), true, page, bookOrigin},
         true},
        {"a book page's link to the web", {site, true, page, bookOrigin}, true},
        {"the program shows the maker's site", {site, true, site, {}}, true},
        {"an image beside a book page", {QUrl("velmora:/opt/book/res/a.png"), false, page, opaque}, true},
        {"a book page's own data", {QUrl("data:image/png;base64,AA=="), false, page, bookOrigin}, true},
        {"an image of the web in a book page",
         {QUrl("http://www.example.com/a.png"), false, page, bookOrigin},
         false},
        {"a frame of the web in a book page", {site, false, page, {}}, false},
        {"a socket from a book page", {QUrl("ws://www.example.com/"), false, page, opaque}, false},
        {"a site's own image", {QUrl("http://www.example.com/a.png"), false, site, siteOrigin}, true},
        {"a site's link to a book page", {page, true, page, siteOrigin}, false},
        {"a site's image of the book", {QUrl("velmora:/opt/book/res/a.png"), false, site, siteOrigin}, false},
        {"a site's frame of a book page", {page, false, site, siteOrigin}, false},
        {"a file of the disk in a book page", {QUrl("file:///etc/passwd"), false, page, opaque}, false},
        {"a file of the disk shown",
         {QUrl("file:///etc/passwd"), true, QUrl("file:///etc/passwd"), {}},
         false},
    };
    for (const RequestRow &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(isRequestAllowed(row.request), row.allowed);
    }
}

} // namespace
} // namespace velmora::controls
