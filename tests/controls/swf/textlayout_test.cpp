// Edit text: markup, entities, UTF-8 and colours; line breaks and word wrap.
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
