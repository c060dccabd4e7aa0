// The text of an edit field as paragraphs of styled spans: UTF-8 decoded, and for HTML
// fields the small markup subset the player knows read safely (<b> <i> <u>
// <font face size color letterSpacing kerning> <p align> <br> <li> <textformat>, and
// entities); any other tag is dropped, and input of any size or nesting is bounded.
#pragma once

#include "controls/swf/movie.h"

#include <string>
#include <vector>

namespace velmora::swf {

struct SpanFormat {
    std::string face; // as stored in the movie
    int size = 240;   // em height, twips
    Rgba color;
    bool bold = false, italic = false, underline = false, kerning = false;
    double letterSpacing = 0; // twips between characters
    friend bool operator==(const SpanFormat &, const SpanFormat &) = default;
};

struct TextSpan {
    std::u32string text; // U+2028 where a <br> breaks the line
    SpanFormat format;
};

struct TextParagraph {
    int align = 0; // as EditText::align
    bool bullet = false;
    std::int32_t leftMargin = 0, rightMargin = 0, indent = 0, leading = 0; // twips
    std::vector<TextSpan> spans;
};

// At most this many characters of a field are kept; a field shows far fewer.
constexpr std::size_t kMaxFieldCharacters = 1 << 15;

// `base` is the field's own format: its font, size and colour.
std::vector<TextParagraph> fieldParagraphs(const EditText &text, const SpanFormat &base);

std::u32string decodeUtf8(const std::string &in);

} // namespace velmora::swf
