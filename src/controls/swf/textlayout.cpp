#include "controls/swf/textlayout.h"

#include <cmath>

namespace velmora::swf {

namespace {

std::u32string decodeUtf8(const std::string &in)
{
    std::u32string out;
    for (std::size_t i = 0; i < in.size();) {
        const auto c = static_cast<unsigned char>(in[i]);
        const int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        char32_t value = extra == 0 ? c : c & (0x3F >> extra);
        bool valid = c < 0x80 || extra > 0;
        for (int k = 1; k <= extra && valid; ++k) {
            if (i + k >= in.size() || (static_cast<unsigned char>(in[i + k]) & 0xC0) != 0x80)
                valid = false;
            else
                value = (value << 6) | (static_cast<unsigned char>(in[i + k]) & 0x3F);
        }
        // Bytes that are not UTF-8 (older movies) stand for themselves.
        out.push_back(valid ? value : c);
        i += valid ? static_cast<std::size_t>(extra) + 1 : 1;
    }
    return out;
}

std::string lower(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

char32_t entity(const std::string &name)
{
    if (name == "amp")
        return U'&';
    if (name == "lt")
        return U'<';
    if (name == "gt")
        return U'>';
    if (name == "quot")
        return U'"';
    if (name == "apos")
        return U'\'';
    if (name == "nbsp")
        return 0xA0;
    if (name.size() > 1 && name[0] == '#') {
        const bool hex = name[1] == 'x' || name[1] == 'X';
        const std::string digits = name.substr(hex ? 2 : 1);
        if (digits.empty() || digits.size() > 6 ||
            digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") != std::string::npos)
            return 0;
        return static_cast<char32_t>(std::stoul(digits, nullptr, hex ? 16 : 10));
    }
    return 0;
}

// The colour a <font color="#rrggbb"> tag names, if any.
bool fontColor(const std::string &tag, Rgba &color)
{
    const std::string l = lower(tag);
    if (l.rfind("font", 0) != 0)
        return false;
    const auto at = l.find("color=");
    if (at == std::string::npos)
        return false;
    auto hash = l.find('#', at);
    if (hash == std::string::npos || hash + 7 > l.size())
        return false;
    const std::string hex = l.substr(hash + 1, 6);
    if (hex.find_first_not_of("0123456789abcdef") != std::string::npos)
        return false;
    const unsigned long v = std::stoul(hex, nullptr, 16);
    color = {static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
             static_cast<std::uint8_t>(v), color.a};
    return true;
}

struct LineGlyph {
    std::size_t index;
    double x;
    Rgba color;
};

} // namespace

StyledText styledText(const EditText &text)
{
    StyledText out;
    const std::u32string chars = decodeUtf8(text.text);
    if (!text.html) {
        out.chars = chars;
        out.colors.assign(chars.size(), text.color);
        return out;
    }
    std::vector<Rgba> colorStack{text.color};
    std::string tag;
    bool inTag = false;
    for (std::size_t i = 0; i < chars.size(); ++i) {
        const char32_t c = chars[i];
        if (inTag) {
            if (c == U'>') {
                inTag = false;
                const std::string name = lower(tag.substr(0, tag.find(' ')));
                Rgba color = colorStack.back();
                if (name == "br" || name == "br/" || name == "/p") {
                    out.chars.push_back(U'\n');
                    out.colors.push_back(colorStack.back());
                } else if (name == "font") {
                    fontColor(tag, color);
                    if (colorStack.size() < 64)
                        colorStack.push_back(color);
                } else if (name == "/font" && colorStack.size() > 1) {
                    colorStack.pop_back();
                }
            } else if (tag.size() < 4096) {
                tag.push_back(c < 0x80 ? static_cast<char>(c) : '?');
            }
            continue;
        }
        if (c == U'<') {
            inTag = true;
            tag.clear();
            continue;
        }
        char32_t ch = c;
        if (c == U'&') {
            const auto end = chars.find(U';', i);
            if (end != std::u32string::npos && end - i <= 10) {
                std::string name;
                for (std::size_t k = i + 1; k < end; ++k)
                    name.push_back(chars[k] < 0x80 ? static_cast<char>(chars[k]) : '?');
                if (char32_t decoded = entity(name)) {
                    ch = decoded;
                    i = end;
                }
            }
        }
        out.chars.push_back(ch);
        out.colors.push_back(colorStack.back());
    }
    while (!out.chars.empty() && out.chars.back() == U'\n') {
        out.chars.pop_back();
        out.colors.pop_back();
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
