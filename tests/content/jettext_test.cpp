#include "content/jettext.h"

#include <gtest/gtest.h>

namespace velmora::content {
namespace {

using namespace std::string_literals;

TEST(JetText, DecodesPlainAndCompressedStorage)
{
    struct Case {
        const char *name;
        std::string stored;
        std::string utf8;
    };
    const Case cases[] = {
        {"plain UTF-16LE", "A\0b\0"s, "Ab"},
        {"CJK", "\x2D\x4E\x87\x65"s, "中文"},
        {"surrogate pair", "\x3D\xD8\x00\xDE"s, "\xF0\x9F\x98\x80"},
        {"lone high surrogate", "\x3D\xD8"s, "\xEF\xBF\xBD"},
        {"odd trailing byte dropped", "A\0B"s, "A"},
        {"compressed, one-byte run", "\xFF\xFEHello"s, "Hello"},
        // FF FE, "ab" compressed, 00 switches to two-byte units (U+4E2D), 00 back to "c".
        {"compressed, mixed runs",
         "\xFF\xFE"
         "ab\0\x2D\x4E\0c"s,
         "ab中c"},
        {"compressed, cut inside a unit", "\xFF\xFE\0\x2D"s, ""},
        {"empty", ""s, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(jetTextToUtf8(c.stored), c.utf8);
    }
}

TEST(JetText, Utf8ToUtf16RoundTripsAndReplacesInvalidSequences)
{
    for (const std::string &text : {"plain"s, "中文页面"s, "\xF0\x9F\x98\x80 smile"s, ""s}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(utf16leToUtf8(utf8ToUtf16le(text)), text);
    }
    struct Case {
        const char *name;
        std::string utf8;
        std::string utf16;
    };
    const Case cases[] = {
        {"stray continuation byte", "\x80"s, "\xFD\xFF"s},
        {"overlong slash", "\xC0\xAF"s, "\xFD\xFF"s},
        {"truncated three-byte sequence", "\xE4\xB8"s, "\xFD\xFF\xFD\xFF"s},
        {"encoded surrogate", "\xED\xA0\x80"s, "\xFD\xFF"s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(utf8ToUtf16le(c.utf8), c.utf16);
    }
}

} // namespace
} // namespace velmora::content
