#include "controls/swf/textlayout.h"

#include "controls/swf/fieldtext.h"

#include <cmath>

namespace velmora::swf {

namespace {

struct LineGlyph {
    std::size_t index;
    double x;
    Rgba color;
};

} // namespace

StyledText styledText(const EditText &text)
{
    SpanFormat base;
    base.color = text.color;
    StyledText out;
    bool first = true;
    for (const TextParagraph &paragraph : fieldParagraphs(text, base)) {
        if (!first) {
            out.chars.push_back(U'\n');
            out.colors.push_back(paragraph.spans.empty() ? text.color : paragraph.spans.front().format.color);
        }
        first = false;
        for (const TextSpan &span : paragraph.spans) {
            for (const char32_t c : span.text) {
                out.chars.push_back(c == 0x2028 ? U'\n' : c);
                out.colors.push_back(span.format.color);
            }
        }
    }
    return out;
}

std::vector<PlacedGlyph> layoutEditText(const EditText &text, const Font &font)
{
    // Field contents sit two pixels inside the bounds.
    constexpr double kGutter = 40;
    std::vector<PlacedGlyph> placed;
    const double scale = text.height / font.emSquare;
    const double left = text.bounds.xMin + kGutter + text.leftMargin;
    const double right = text.bounds.xMax - kGutter - text.rightMargin;
    const double lineHeight = std::round((font.ascent + font.descent) * scale) + text.leading;
    double baseline = text.bounds.yMin + kGutter + std::round(font.ascent * scale);

    auto advanceOf = [&](std::size_t index) {
        return index < font.advances.size() ? font.advances[index] * scale : text.height * 0.5;
    };
    auto glyphOf = [&](char32_t code) -> std::ptrdiff_t {
        for (std::size_t i = 0; i < font.codes.size(); ++i) {
            if (font.codes[i] == code)
                return static_cast<std::ptrdiff_t>(i);
        }
        return -1;
    };
    // Kerning pairs apply where the field's markup asks for them.
    const bool kern = text.html && text.text.find("kerning=\"1\"") != std::string::npos;
    auto kerning = [&](char32_t a, char32_t b) {
        if (!kern || a > 0xFFFF || b > 0xFFFF)
            return 0.0;
        auto it = font.kerning.find({static_cast<std::uint16_t>(a), static_cast<std::uint16_t>(b)});
        return it == font.kerning.end() ? 0.0 : std::round(it->second * scale);
    };

    std::vector<LineGlyph> line;
    double width = 0;
    auto flush = [&]() {
        const double x0 = text.align == 1   ? right - width
                          : text.align == 2 ? (left + right - width) / 2
                                            : left;
        for (const LineGlyph &g : line)
            placed.push_back({g.index, std::round(x0 + g.x), std::round(baseline), g.color}); // whole twips
        line.clear();
        width = 0;
        baseline += lineHeight;
    };

    const StyledText styled = styledText(text);
    const std::u32string &s = styled.chars;
    auto isBreak = [](char32_t c) { return c == U'\n' || c == U'\r'; };
    std::size_t i = 0;
    while (i <= s.size()) {
        if (i == s.size() || isBreak(s[i])) {
            flush();
            if (i + 1 < s.size() && s[i] == U'\r' && s[i + 1] == U'\n')
                ++i;
            ++i;
            continue;
        }
        // One word and the spaces before it.
        std::size_t end = i;
        while (end < s.size() && s[end] == U' ')
            ++end;
        const std::size_t wordBegin = end;
        while (end < s.size() && s[end] != U' ' && !isBreak(s[end]))
            ++end;
        std::vector<LineGlyph> word;
        double x = width, wordStart = -1;
        for (std::size_t k = i; k < end; ++k) {
            const std::ptrdiff_t g = glyphOf(s[k]);
            if (g < 0)
                continue;
            if (k >= wordBegin && wordStart < 0)
                wordStart = x;
            if (k >= wordBegin || !text.wordWrap || !line.empty())
                word.push_back({static_cast<std::size_t>(g), x, styled.colors[k]});
            x += advanceOf(static_cast<std::size_t>(g));
            if (k + 1 < s.size())
                x += kerning(s[k], s[k + 1]);
        }
        if (text.wordWrap && !line.empty() && x > right - left && wordStart >= 0) {
            // The word goes to the next line without the spaces before it.
            flush();
            std::vector<LineGlyph> moved;
            for (const LineGlyph &g : word) {
                if (g.x >= wordStart)
                    moved.push_back({g.index, g.x - wordStart, g.color});
            }
            line = std::move(moved);
            width = x - wordStart;
        } else {
            line.insert(line.end(), word.begin(), word.end());
            width = x;
        }
        i = end;
    }
    return placed;
}

} // namespace velmora::swf
