#include "controls/swf/textlayout.h"

#include <cmath>

namespace velmora::swf {

namespace {

// Markup of HTML fields is dropped; line and paragraph ends become line breaks.
std::string plainText(const EditText &text)
{
    if (!text.html)
        return text.text;
    std::string out, tag;
    bool inTag = false;
    for (char c : text.text) {
        if (c == '<') {
            inTag = true;
            tag.clear();
        } else if (c == '>' && inTag) {
            inTag = false;
            for (char &t : tag)
                t = static_cast<char>(std::tolower(static_cast<unsigned char>(t)));
            if (tag == "br" || tag == "br/" || tag == "/p")
                out.push_back('\n');
        } else if (inTag) {
            tag.push_back(c);
        } else {
            out.push_back(c);
        }
    }
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

struct LineGlyph {
    std::size_t index;
    double x;
};

} // namespace

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
        const double a = index < font.advances.size() ? font.advances[index] * scale : text.height * 0.5;
        return a;
    };
    auto glyphOf = [&](unsigned char code) -> std::ptrdiff_t {
        for (std::size_t i = 0; i < font.codes.size(); ++i) {
            if (font.codes[i] == code)
                return static_cast<std::ptrdiff_t>(i);
        }
        return -1;
    };

    // Kerning pairs apply where the field's markup asks for them.
    const bool kern = text.html && text.text.find("kerning=\"1\"") != std::string::npos;
    auto kerning = [&](unsigned char a, unsigned char b) {
        if (!kern)
            return 0.0;
        auto it = font.kerning.find({a, b});
        return it == font.kerning.end() ? 0.0 : std::round(it->second * scale);
    };

    auto snapX = [](double v) { return std::round(v); }; // whole twips
    auto snapY = [](double v) { return std::round(v); };
    std::vector<LineGlyph> line;
    double width = 0;
    auto flush = [&]() {
        const double x0 = text.align == 1   ? right - width
                          : text.align == 2 ? (left + right - width) / 2
                                            : left;
        for (const LineGlyph &g : line)
            placed.push_back({g.index, snapX(x0 + g.x), snapY(baseline)});
        line.clear();
        width = 0;
        baseline += lineHeight;
    };

    const std::string plain = plainText(text);
    std::size_t i = 0;
    while (i <= plain.size()) {
        if (i == plain.size() || plain[i] == '\n' || plain[i] == '\r') {
            flush();
            if (i + 1 < plain.size() && plain[i] == '\r' && plain[i + 1] == '\n')
                ++i;
            ++i;
            continue;
        }
        // One word and the spaces before it.
        std::size_t end = i;
        while (end < plain.size() && plain[end] == ' ')
            ++end;
        while (end < plain.size() && plain[end] != ' ' && plain[end] != '\n' && plain[end] != '\r')
            ++end;
        std::vector<LineGlyph> word;
        double x = width;
        double wordStart = -1;
        for (std::size_t k = i; k < end; ++k) {
            const std::ptrdiff_t g = glyphOf(static_cast<unsigned char>(plain[k]));
            if (g < 0)
                continue;
            if (plain[k] != ' ' && wordStart < 0)
                wordStart = x;
            word.push_back({static_cast<std::size_t>(g), x});
            x += advanceOf(static_cast<std::size_t>(g));
            if (k + 1 < plain.size())
                x += kerning(static_cast<unsigned char>(plain[k]), static_cast<unsigned char>(plain[k + 1]));
        }
        if (text.wordWrap && !line.empty() && x > right - left && wordStart >= 0) {
            // The word goes to the next line without the spaces before it.
            flush();
            double shift = wordStart;
            std::vector<LineGlyph> moved;
            for (std::size_t k = 0, c = i; c < end; ++c) {
                if (plain[c] == ' ' && moved.empty()) {
                    if (glyphOf(' ') >= 0)
                        ++k;
                    continue;
                }
                if (k < word.size())
                    moved.push_back({word[k].index, word[k].x - shift});
                ++k;
            }
            line = std::move(moved);
            width = x - shift;
        } else {
            line.insert(line.end(), word.begin(), word.end());
            width = x;
        }
        i = end;
    }
    return placed;
}

} // namespace velmora::swf
