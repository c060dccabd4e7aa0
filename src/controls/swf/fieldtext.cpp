#include "controls/swf/fieldtext.h"
#include "common/utf8.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>

namespace velmora::swf {

namespace {

constexpr std::size_t kMaxTagLength = 4096;
constexpr std::size_t kMaxNesting = 64;
constexpr std::size_t kMaxEntityLength = 10;
constexpr int kMaxFontPixels = 2000;
constexpr double kMaxLetterSpacingPixels = 1000;
constexpr char32_t kLineSeparator = 0x2028;

std::string lower(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

char32_t entity(const std::string &name)
{
    static const std::map<std::string, char32_t> named{{"amp", U'&'},  {"lt", U'<'},    {"gt", U'>'},
                                                       {"quot", U'"'}, {"apos", U'\''}, {"nbsp", 0xA0}};
    if (auto it = named.find(name); it != named.end())
        return it->second;
    if (name.size() < 2 || name[0] != '#')
        return 0;
    const bool hex = name[1] == 'x' || name[1] == 'X';
    const char *first = name.data() + (hex ? 2 : 1), *last = name.data() + name.size();
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(first, last, value, hex ? 16 : 10);
    if (error != std::errc() || end != last || first == last || value > 0x10FFFF)
        return 0;
    return value;
}

using Attributes = std::map<std::string, std::string>;

// name="value", name='value' or name=value, keys in lower case.
Attributes attributes(const std::string &tag)
{
    Attributes out;
    std::size_t i = tag.find(' ');
    while (i < tag.size()) {
        while (i < tag.size() && (tag[i] == ' ' || tag[i] == '/'))
            ++i;
        const std::size_t keyBegin = i;
        while (i < tag.size() && tag[i] != '=' && tag[i] != ' ')
            ++i;
        std::string key = lower(tag.substr(keyBegin, i - keyBegin));
        if (i >= tag.size() || tag[i] != '=') {
            if (key.empty())
                ++i;
            continue;
        }
        ++i;
        std::string value;
        if (i < tag.size() && (tag[i] == '"' || tag[i] == '\'')) {
            const char quote = tag[i++];
            const std::size_t end = std::min(tag.find(quote, i), tag.size());
            value = tag.substr(i, end - i);
            i = end + 1;
        } else {
            const std::size_t end = std::min(tag.find(' ', i), tag.size());
            value = tag.substr(i, end - i);
            i = end;
        }
        out[key] = value;
    }
    return out;
}

bool parseNumber(const std::string &s, double &value)
{
    const std::size_t skip = !s.empty() && s[0] == '+' ? 1 : 0;
    const auto [end, error] = std::from_chars(s.data() + skip, s.data() + s.size(), value);
    return error == std::errc() && end == s.data() + s.size() && s.size() > skip;
}

// Pixels of the markup to twips, within `limit` pixels either way.
std::int32_t twips(double pixels, double limit)
{
    return static_cast<std::int32_t>(std::clamp(pixels, -limit, limit) * kTwipsPerPixel);
}

bool parseColor(const std::string &s, Rgba &color)
{
    if (s.size() != 7 || s[0] != '#')
        return false;
    std::uint32_t v = 0;
    const auto [end, error] = std::from_chars(s.data() + 1, s.data() + 7, v, 16);
    if (error != std::errc() || end != s.data() + 7)
        return false;
    color = {static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
             static_cast<std::uint8_t>(v), color.a};
    return true;
}

void applyFont(const Attributes &attrs, SpanFormat &format)
{
    if (auto it = attrs.find("face"); it != attrs.end())
        format.face = it->second;
    double value = 0;
    if (auto it = attrs.find("size"); it != attrs.end() && parseNumber(it->second, value)) {
        // "+2" and "-2" are relative to the size around the tag.
        const bool relative = !it->second.empty() && (it->second[0] == '+' || it->second[0] == '-');
        const double pixels = relative ? format.size / kTwipsPerPixel + value : value;
        format.size = twips(std::max(pixels, 1.0), kMaxFontPixels);
    }
    if (auto it = attrs.find("color"); it != attrs.end())
        parseColor(it->second, format.color);
    if (auto it = attrs.find("letterspacing"); it != attrs.end() && parseNumber(it->second, value))
        format.letterSpacing = twips(value, kMaxLetterSpacingPixels);
    if (auto it = attrs.find("kerning"); it != attrs.end())
        format.kerning = it->second == "1" || lower(it->second) == "true";
}

int alignment(const std::string &name, int fallback)
{
    const std::string l = lower(name);
    return l == "left" ? 0 : l == "right" ? 1 : l == "center" ? 2 : l == "justify" ? 3 : fallback;
}

// Builds the paragraphs as the markup opens and closes its tags.
class FieldTextBuilder {
public:
    FieldTextBuilder(const EditText &text, const SpanFormat &base) : m_field(text)
    {
        m_formats.push_back({"", base});
        TextParagraph block;
        block.align = text.align;
        block.leftMargin = text.leftMargin;
        block.rightMargin = text.rightMargin;
        block.indent = text.indent;
        block.leading = text.leading;
        m_blocks.push_back(block);
        m_paragraphs.push_back(block);
    }

    void character(char32_t c)
    {
        if (c == U'\r' || c == U'\n') {
            newParagraph();
            return;
        }
        if (m_count >= kMaxFieldCharacters)
            return;
        ++m_count;
        auto &spans = m_paragraphs.back().spans;
        const SpanFormat &format = m_formats.back().second;
        if (spans.empty() || !(spans.back().format == format))
            spans.push_back({{}, format});
        spans.back().text.push_back(c);
    }

    void tag(const std::string &tag)
    {
        const std::string name = lower(tag.substr(0, tag.find(' ')));
        const Attributes attrs = attributes(tag);
        if (name == "br" || name == "br/") {
            character(kLineSeparator);
        } else if (name == "p" || name == "li") {
            if (!m_paragraphs.back().spans.empty())
                newParagraph();
            if (name == "li")
                m_paragraphs.back().bullet = true;
            else if (auto it = attrs.find("align"); it != attrs.end())
                m_paragraphs.back().align = alignment(it->second, m_field.align);
        } else if (name == "/p" || name == "/li") {
            newParagraph();
        } else if (name == "textformat") {
            openBlock(attrs);
        } else if (name == "/textformat") {
            if (m_blocks.size() > 1)
                m_blocks.pop_back();
            takeBlockSettings();
        } else if (name == "b" || name == "i" || name == "u" || name == "font") {
            SpanFormat format = m_formats.back().second;
            format.bold |= name == "b";
            format.italic |= name == "i";
            format.underline |= name == "u";
            if (name == "font")
                applyFont(attrs, format);
            if (m_formats.size() < kMaxNesting)
                m_formats.push_back({name, format});
        } else if (name.size() > 1 && name[0] == '/') {
            // Closes the innermost tag of that name and any left open inside it.
            const std::string opened = name.substr(1);
            for (std::size_t i = m_formats.size(); i-- > 1;) {
                if (m_formats[i].first == opened) {
                    m_formats.resize(i);
                    break;
                }
            }
        }
    }

    std::vector<TextParagraph> finish()
    {
        while (m_paragraphs.size() > 1 && m_paragraphs.back().spans.empty())
            m_paragraphs.pop_back();
        return std::move(m_paragraphs);
    }

private:
    void newParagraph()
    {
        if (m_paragraphs.size() < kMaxFieldCharacters)
            m_paragraphs.push_back(m_blocks.back());
    }

    void openBlock(const Attributes &attrs)
    {
        TextParagraph block = m_blocks.back();
        double value = 0;
        auto number = [&](const char *key) {
            auto it = attrs.find(key);
            return it != attrs.end() && parseNumber(it->second, value);
        };
        constexpr double kMaxPixels = 10000;
        if (number("leftmargin"))
            block.leftMargin = twips(value, kMaxPixels);
        if (number("blockindent"))
            block.leftMargin += twips(value, kMaxPixels);
        if (number("rightmargin"))
            block.rightMargin = twips(value, kMaxPixels);
        if (number("indent"))
            block.indent = twips(value, kMaxPixels);
        if (number("leading"))
            block.leading = twips(value, kMaxPixels);
        if (m_blocks.size() < kMaxNesting)
            m_blocks.push_back(block);
        takeBlockSettings();
    }

    // A paragraph not yet begun takes the settings of the block it now stands in.
    void takeBlockSettings()
    {
        TextParagraph &current = m_paragraphs.back();
        if (!current.spans.empty())
            return;
        const int align = current.align;
        const bool bullet = current.bullet;
        current = m_blocks.back();
        current.align = align;
        current.bullet = bullet;
    }

    const EditText &m_field;
    std::vector<std::pair<std::string, SpanFormat>> m_formats; // tag name and the format it opened
    std::vector<TextParagraph> m_blocks;                       // <textformat> settings
    std::vector<TextParagraph> m_paragraphs;
    std::size_t m_count = 0;
};

} // namespace

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

std::vector<TextParagraph> fieldParagraphs(const EditText &text, const SpanFormat &base)
{
    FieldTextBuilder builder(text, base);
    const std::u32string chars = decodeUtf8(text.text);
    if (!text.html) {
        for (std::size_t i = 0; i < chars.size(); ++i) {
            if (chars[i] == U'\r' && i + 1 < chars.size() && chars[i + 1] == U'\n')
                ++i;
            builder.character(chars[i]);
        }
        return builder.finish();
    }
    std::string tag;
    bool inTag = false;
    for (std::size_t i = 0; i < chars.size(); ++i) {
        const char32_t c = chars[i];
        if (inTag) {
            if (c == U'>') {
                inTag = false;
                builder.tag(tag);
            } else if (tag.size() < kMaxTagLength) {
                appendUtf8(tag, c); // face names may be Chinese
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
            std::size_t end = i + 1;
            while (end < chars.size() && end - i <= kMaxEntityLength && chars[end] != U';')
                ++end;
            if (end < chars.size() && chars[end] == U';') {
                std::string name;
                for (std::size_t k = i + 1; k < end; ++k)
                    name.push_back(chars[k] < 0x80 ? static_cast<char>(chars[k]) : '?');
                if (const char32_t decoded = entity(name)) {
                    ch = decoded;
                    i = end;
                }
            }
        }
        if (ch == U'\r' && i + 1 < chars.size() && chars[i + 1] == U'\n')
            ++i;
        builder.character(ch);
    }
    return builder.finish();
}

} // namespace velmora::swf
