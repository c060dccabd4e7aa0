// Edit text: markup, entities, UTF-8 and colours; line breaks and word wrap.
#include "controls/swf/fieldtext.h"
#include "controls/swf/textlayout.h"

#include <gtest/gtest.h>

namespace velmora::swf {
namespace {

EditText field(std::string text, bool html, int widthTwips = 4000, bool wrap = false)
{
    EditText t;
    t.bounds = {0, widthTwips, 0, 2000};
    t.text = std::move(text);
    t.html = html;
    t.wordWrap = wrap;
    t.height = 200;
    t.color = {1, 2, 3, 255};
    return t;
}

TEST(StyledText, MarkupEntitiesAndUtf8)
{
    struct Row {
        const char *name;
        EditText field;
        std::u32string expected;
    } rows[] = {
        {"plain text is kept, markup too", field("a<b>c", false), U"a<b>c"},
        {"tags are dropped", field("<p><b>bold</b></p>", true), U"bold"},
        {"named entities", field("&amp;&lt;&gt;&quot;&apos;", true), U"&<>\"'"},
        {"numeric entities", field("&#65;&#x42;", true), U"AB"},
        {"an unknown entity stays as written", field("&bg;", true), U"&bg;"},
        {"paragraphs and breaks end lines", field("<p>one</p><p>two</p>x<br>y", true), U"one\ntwo\nx\ny"},
        {"UTF-8 is decoded", field("\xc4\xb6", false), U"\u0136"},
        {"a stray high byte stands for itself", field("\xe9t\xe9", false), U"\u00e9t\u00e9"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        StyledText s = styledText(row.field);
        EXPECT_EQ(s.chars, row.expected);
        EXPECT_EQ(s.colors.size(), s.chars.size());
    }
}

TEST(StyledText, FontColourAppliesInsideItsTag)
{
    StyledText s = styledText(field("a<font color=\"#ff0000\">b</font>c", true));
    ASSERT_EQ(s.chars, U"abc");
    EXPECT_EQ(s.colors[0], (Rgba{1, 2, 3, 255}));
    EXPECT_EQ(s.colors[1], (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(s.colors[2], (Rgba{1, 2, 3, 255}));
}

TEST(FieldParagraphs, FormatsParagraphsAndBlocks)
{
    EditText t = field("<textformat leading=\"2\" indent=\"3\"><p align=\"center\">"
                       "<font face=\"_serif\" size=\"10\" color=\"#00ff00\" letterSpacing=\"1.5\">a"
                       "<font size=\"+2\"><b>b</b><i><u>c</u></i></font></font></p></textformat>"
                       "<li>d<br>e</li>",
                       true);
    t.align = 1;
    SpanFormat base;
    base.face = "x";
    const auto paragraphs = fieldParagraphs(t, base);
    ASSERT_EQ(paragraphs.size(), 2u);
    const TextParagraph &p = paragraphs[0];
    EXPECT_EQ(p.align, 2);
    EXPECT_EQ(p.leading, 40);
    EXPECT_EQ(p.indent, 60);
    ASSERT_EQ(p.spans.size(), 3u);
    EXPECT_EQ(p.spans[0].format.face, "_serif");
    EXPECT_EQ(p.spans[0].format.size, 200);
    EXPECT_EQ(p.spans[0].format.color, (Rgba{0, 255, 0, 255}));
    EXPECT_EQ(p.spans[0].format.letterSpacing, 30);
    EXPECT_EQ(p.spans[1].format.size, 240) << "relative size";
    EXPECT_TRUE(p.spans[1].format.bold);
    EXPECT_TRUE(p.spans[2].format.italic && p.spans[2].format.underline && !p.spans[2].format.bold);
    const TextParagraph &item = paragraphs[1];
    EXPECT_TRUE(item.bullet);
    EXPECT_EQ(item.align, 1) << "the field's alignment";
    EXPECT_EQ(item.leading, 0) << "outside the text format";
    ASSERT_EQ(item.spans.size(), 1u);
    EXPECT_EQ(item.spans[0].text, U"d\u2028e");
    EXPECT_EQ(item.spans[0].format.face, "x");
}

TEST(FieldParagraphs, HostileMarkupIsBounded)
{
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<font size=\"+1\">";
    deep += "x";
    std::string wide(1 << 20, 'y');
    struct Row {
        const char *name;
        std::string text;
    } rows[] = {
        {"deep nesting", deep},
        {"a tag never closed", "<font face=\"" + wide},
        {"a million characters", wide},
        {"a million paragraphs", std::string(1 << 20, '\r')},
        {"ampersands without an end", std::string(1 << 20, '&')},
        {"entities out of range", "&#xFFFFFFFFFF;&#99999999;&#;&#x;"},
        {"attributes without values", "<font size= color face=>z</font>"},
        {"sizes out of range", "<font size=\"999999\" letterSpacing=\"1e300\">z</font>"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const auto paragraphs = fieldParagraphs(field(row.text, true), {});
        std::size_t chars = 0;
        for (const TextParagraph &p : paragraphs) {
            for (const TextSpan &span : p.spans) {
                chars += span.text.size();
                EXPECT_LE(span.format.size, 2000 * 20);
                EXPECT_LE(std::abs(span.format.letterSpacing), 1000 * 20);
            }
        }
        EXPECT_LE(chars, kMaxFieldCharacters);
        EXPECT_LE(paragraphs.size(), kMaxFieldCharacters);
    }
}

// A font whose glyphs for a, b and space all advance 100 twips at height 200.
Font font()
{
    Font f;
    f.emSquare = 200;
    f.ascent = 150;
    f.descent = 50;
    f.glyphs.resize(3);
    f.codes = {'a', 'b', ' '};
    f.advances = {100, 100, 100};
    return f;
}

TEST(EditTextLayout, WrapsAtSpacesAndBreaksAtLineEnds)
{
    // Room for 4 glyphs: 40 twips of gutter on each side of 480.
    const Font f = font();
    auto lines = [&](const EditText &t) {
        std::vector<double> ys;
        for (const PlacedGlyph &g : layoutEditText(t, f)) {
            if (ys.empty() || ys.back() != g.y)
                ys.push_back(g.y);
        }
        return ys.size();
    };
    EXPECT_EQ(lines(field("aa bb", false, 480, false)), 1u) << "no wrap: one long line";
    EXPECT_EQ(lines(field("aa bb", false, 480, true)), 2u);
    EXPECT_EQ(lines(field("ab\nba", false, 4000, false)), 2u);
    // The wrapped word starts at the left edge, without the space before it.
    auto placed = layoutEditText(field("aa bb", false, 480, true), f);
    ASSERT_EQ(placed.size(), 4u);
    EXPECT_EQ(placed[2].x, 40);
}

} // namespace
} // namespace velmora::swf
