#include "navigation/pagetitle.h"
#include "common/pageencoding.h"
#include "common/utf8.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <optional>

namespace velmora::navigation {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";
constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

std::string lower(std::string_view text)
{
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

bool isCharsetNameChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.' || c == ':';
}

bool isAsciiSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// The charset a <meta> tag before the body names (`head` in lower case); empty when none does.
std::string declaredCharset(const std::string &head)
{
    const size_t body = head.find("<body");
    for (size_t at = head.find("<meta"); at != std::string::npos && at < body;
         at = head.find("<meta", at + 5)) {
        const size_t end = std::min(head.find('>', at), head.size());
        const size_t name = head.find("charset", at);
        if (name == std::string::npos || name >= end)
            continue;
        size_t value = name + 7;
        while (value < end &&
               (isAsciiSpace(head[value]) || head[value] == '=' || head[value] == '"' || head[value] == '\''))
            ++value;
        size_t stop = value;
        while (stop < end && isCharsetNameChar(head[stop]))
            ++stop;
        if (stop > value)
            return head.substr(value, stop - value);
    }
    return {};
}

// `bytes` in `charset` (an iconv name) as UTF-8; nothing for an unknown charset. Bytes
// that are no character of the charset become U+FFFD, as the web view shows them.
std::optional<std::string> toUtf8(std::string_view bytes, const std::string &charset)
{
    iconv_t converter = iconv_open("UTF-8", charset.c_str());
    if (reinterpret_cast<std::intptr_t>(converter) == -1) // iconv_open's failure
        return std::nullopt;
    std::string in(bytes);
    // Every input byte gives at most four bytes of UTF-8, or the three of U+FFFD.
    std::string out(in.size() * 4 + kReplacement.size(), '\0');
    char *inAt = in.data();
    size_t inLeft = in.size();
    char *outAt = out.data();
    size_t outLeft = out.size();
    while (inLeft > 0) {
        if (iconv(converter, &inAt, &inLeft, &outAt, &outLeft) != static_cast<size_t>(-1))
            break;
        const int error = errno;
        if (error != EILSEQ && error != EINVAL)
            break;
        outAt = std::copy(kReplacement.begin(), kReplacement.end(), outAt);
        outLeft -= kReplacement.size();
        if (error == EINVAL)
            break; // a character cut off at the end
        ++inAt;
        --inLeft;
    }
    iconv_close(converter);
    out.resize(out.size() - outLeft);
    return out;
}

// The character named between '&' and ';': the few names titles use, and numbers.
std::optional<char32_t> entity(std::string_view name)
{
    static constexpr std::array<std::pair<std::string_view, char32_t>, 6> kNamed{{
        {"amp", U'&'},
        {"lt", U'<'},
        {"gt", U'>'},
        {"quot", U'"'},
        {"apos", U'\''},
        {"nbsp", U'\u00a0'},
    }};
    for (const auto &[known, character] : kNamed)
        if (name == known)
            return character;
    if (name.size() < 2 || name[0] != '#')
        return std::nullopt;
    const bool hex = name[1] == 'x' || name[1] == 'X';
    const std::string_view digits = name.substr(hex ? 2 : 1);
    std::uint32_t code = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
    if (error != std::errc() || end != digits.data() + digits.size() || code == 0 || code > 0x10FFFF ||
        (code >= 0xD800 && code <= 0xDFFF))
        return std::nullopt;
    return static_cast<char32_t>(code);
}

// Entities replaced; runs of ASCII white space made one space, none at either end.
std::string cleanTitle(std::string_view text)
{
    constexpr size_t kLongestEntity = 10;
    std::string result;
    bool space = false;
    for (size_t at = 0; at < text.size();) {
        if (isAsciiSpace(text[at])) {
            space = !result.empty();
            ++at;
            continue;
        }
        if (space)
            result += ' ';
        space = false;
        if (text[at] == '&') {
            const size_t end = text.find(';', at);
            if (end != std::string_view::npos && end - at <= kLongestEntity) {
                if (const auto character = entity(text.substr(at + 1, end - at - 1))) {
                    appendUtf8(result, *character);
                    at = end + 1;
                    continue;
                }
            }
        }
        result += text[at++];
    }
    return result;
}

// The raw bytes between <title> and </title> (the page's end when it is not closed).
std::optional<std::string_view> titleBytes(std::string_view page, const std::string &head)
{
    size_t open = head.find("<title");
    while (open != std::string::npos && open + 6 < head.size() && head[open + 6] != '>' &&
           !isAsciiSpace(head[open + 6]))
        open = head.find("<title", open + 6);
    const size_t start = open == std::string::npos ? open : head.find('>', open);
    if (start == std::string::npos)
        return std::nullopt;
    const size_t end = std::min(head.find("</title", start), head.size());
    return page.substr(start + 1, std::min(end - start - 1, kLongestTitleBytes));
}

std::string titleOf(std::string_view page, std::string charset)
{
    const std::string head = lower(page);
    const auto bytes = titleBytes(page, head);
    if (!bytes)
        return {};
    if (charset.empty())
        charset = declaredCharset(head);
    if (charset.empty())
        charset = kUndeclaredPageEncoding;
    auto text = toUtf8(*bytes, charset);
    if (!text)
        text = toUtf8(*bytes, kUndeclaredPageEncoding);
    return cleanTitle(text.value_or(std::string()));
}

} // namespace

std::string pageTitle(std::string_view page, std::string_view charset)
{
    page = page.substr(0, kTitleSearchBytes);
    // A byte order mark decides, as it does for the web view; then the charset served.
    if (page.substr(0, 3) == kUtf8Mark)
        return titleOf(page.substr(3), "utf-8");
    const bool littleEndian = page.substr(0, 2) == kUtf16LeMark;
    if (littleEndian || page.substr(0, 2) == kUtf16BeMark)
        return titleOf(toUtf8(page.substr(2), littleEndian ? "UTF-16LE" : "UTF-16BE").value_or(std::string()),
                       "utf-8");
    return titleOf(page, lower(charset));
}

} // namespace velmora::navigation
