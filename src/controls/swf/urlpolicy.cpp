#include "controls/swf/urlpolicy.h"

#include <algorithm>
#include <cctype>

namespace velmora::swf {

namespace {

bool startsWithNoCase(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), s.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

} // namespace

UrlRequest classifyUrl(std::string_view address)
{
    const std::string_view a = trimmed(address);
    if (startsWithNoCase(a, "fscommand:"))
        return startsWithNoCase(a.substr(10), "quit") && a.size() == 14 ? UrlRequest::Quit
                                                                        : UrlRequest::Ignore;
    if (a.size() > kMaxUrlBytes)
        return UrlRequest::Ignore;
    // A control character could end the address early in a handler's command line.
    if (std::any_of(a.begin(), a.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }))
        return UrlRequest::Ignore;
    for (std::string_view scheme : {"http://", "https://", "mailto:"}) {
        if (startsWithNoCase(a, scheme) && a.size() > scheme.size())
            return UrlRequest::OpenOnDesktop;
    }
    return UrlRequest::Ignore;
}

} // namespace velmora::swf
