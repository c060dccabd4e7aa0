#include "controls/swf/textlayout.h"

#include "controls/swf/fieldtext.h"

#include <cmath>

namespace velmora::swf {

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

namespace {

struct LineGlyph {
    std::size_t index;
    double x;
    Rgba color;
};

bool isBreak(char32_t c)
{
    return c == U'\n' || c == U'\r';
}

// A field's glyphs placed line by line: words join the current line, or with word wrap
// start the next one when they do not fit; a finished line is aligned and placed on its
// baseline.
class FieldLayout {
public:
    FieldLayout(const EditText &text, const Font &font)
        : m_text(text), m_font(font), m_scale(text.height / font.emSquare),
          // Field contents sit two pixels inside the bounds.
          m_left(text.bounds.xMin + kGutter + text.leftMargin),
          m_right(text.bounds.xMax - kGutter - text.rightMargin),
          m_lineHeight(std::round((font.ascent + font.descent) * m_scale) + text.leading),
          m_baseline(text.bounds.yMin + kGutter + std::round(font.ascent * m_scale)),
          // Kerning pairs apply where the field's markup asks for them.
          m_kern(text.html && text.text.find("kerning=\"1\"") != std::string::npos)
    {
    }

    void endLine()
    {
        const double x0 = m_text.align == 1   ? m_right - m_width
                          : m_text.align == 2 ? (m_left + m_right - m_width) / 2
                                              : m_left;
        for (const LineGlyph &g : m_line)
            m_placed.push_back(
                {g.index, std::round(x0 + g.x), std::round(m_baseline), g.color}); // whole twips
        m_line.clear();
        m_width = 0;
        m_baseline += m_lineHeight;
    }

    // The characters from `from` to `end`: spaces, then a word from `wordBegin`.
    void addWord(const StyledText &styled, std::size_t from, std::size_t wordBegin, std::size_t end)
    {
        const std::u32string &s = styled.chars;
        std::vector<LineGlyph> word;
        double x = m_width, wordStart = -1;
        for (std::size_t k = from; k < end; ++k) {
            const std::ptrdiff_t g = glyphOf(s[k]);
            if (g < 0)
                continue;
            if (k >= wordBegin && wordStart < 0)
                wordStart = x;
            if (k >= wordBegin || !m_text.wordWrap || !m_line.empty())
                word.push_back({static_cast<std::size_t>(g), x, styled.colors[k]});
            x += advanceOf(static_cast<std::size_t>(g));
            if (k + 1 < s.size())
                x += kerning(s[k], s[k + 1]);
        }
        if (m_text.wordWrap && !m_line.empty() && x > m_right - m_left && wordStart >= 0) {
            // The word goes to the next line without the spaces before it.
            endLine();
            for (const LineGlyph &g : word) {
                if (g.x >= wordStart)
                    m_line.push_back({g.index, g.x - wordStart, g.color});
            }
            m_width = x - wordStart;
        } else {
            m_line.insert(m_line.end(), word.begin(), word.end());
            m_width = x;
        }
    }

    std::vector<PlacedGlyph> take() { return std::move(m_placed); }

private:
    static constexpr double kGutter = 40;

    double advanceOf(std::size_t index) const
    {
        return index < m_font.advances.size() ? m_font.advances[index] * m_scale : m_text.height * 0.5;
    }
    std::ptrdiff_t glyphOf(char32_t code) const
    {
        for (std::size_t i = 0; i < m_font.codes.size(); ++i) {
            if (m_font.codes[i] == code)
                return static_cast<std::ptrdiff_t>(i);
        }
        return -1;
    }
    double kerning(char32_t a, char32_t b) const
    {
        if (!m_kern || a > 0xFFFF || b > 0xFFFF)
            return 0.0;
        auto it = m_font.kerning.find({static_cast<std::uint16_t>(a), static_cast<std::uint16_t>(b)});
        return it == m_font.kerning.end() ? 0.0 : std::round(it->second * m_scale);
    }

    const EditText &m_text;
    const Font &m_font;
    double m_scale, m_left, m_right, m_lineHeight, m_baseline;
    bool m_kern;
    std::vector<LineGlyph> m_line;
    double m_width = 0;
    std::vector<PlacedGlyph> m_placed;
};

} // namespace

std::vector<PlacedGlyph> layoutEditText(const EditText &text, const Font &font)
{
    FieldLayout layout(text, font);
    const StyledText styled = styledText(text);
    const std::u32string &s = styled.chars;
    std::size_t i = 0;
    while (i <= s.size()) {
        if (i == s.size() || isBreak(s[i])) {
            layout.endLine();
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
        layout.addWord(styled, i, wordBegin, end);
        i = end;
    }
    return layout.take();
}

} // namespace velmora::swf
