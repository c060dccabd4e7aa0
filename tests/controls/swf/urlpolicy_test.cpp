// The addresses a movie's getURL may hand on: web and mail addresses to the desktop,
// fscommand("quit") to the player, nothing else.
#include "controls/swf/urlpolicy.h"

#include <gtest/gtest.h>

#include <string>

namespace velmora::swf {
namespace {

TEST(UrlPolicy, OnlyWebAndMailAddressesGoToTheDesktop)
{
    for (const char *address : {"http://example.org/", "HTTPS://example.org/a?b=c", " mailto:a@example.org "})
        EXPECT_EQ(classifyUrl(address), UrlRequest::OpenOnDesktop) << address;
    for (const char *address :
         {"javascript:alert(1)", "file:///etc/passwd", "FSCommand:exec", "fscommand:quitter", "page.html",
          "ftp://example.org/", "http://", "vbscript:x", "http://example.org/\nrm -rf", "\\\\server\\share"})
        EXPECT_EQ(classifyUrl(address), UrlRequest::Ignore) << address;
    EXPECT_EQ(classifyUrl("FSCommand:quit"), UrlRequest::Quit);
    EXPECT_EQ(classifyUrl("http://example.org/" + std::string(kMaxUrlBytes, 'a')), UrlRequest::Ignore);
}

} // namespace
} // namespace velmora::swf
