// What a movie button is called when it is given no name: the movie's own text.
#include "controls/flashbuttonaccessible.h"
#include "controls/swf/movie.h"

#include <gtest/gtest.h>

namespace velmora::controls {
namespace {

swf::TextRecord record(std::uint16_t font, std::initializer_list<std::uint32_t> glyphs)
{
    swf::TextRecord result;
    result.fontId = font;
    for (const std::uint32_t index : glyphs)
        result.glyphs.push_back({index, 0});
    return result;
}

TEST(MovieText, IsTheTextOfFontsWithACodeTableAndOfPlainFields)
{
    swf::Movie movie;
    swf::Font coded;
    coded.codes = {u'C', u'h', u'1', 0x7AE0};
    movie.characters[1] = coded;
    movie.characters[2] = swf::Font{}; // outlines only: no codes
    swf::StaticText text;
    text.records = {record(1, {0, 1, 2}), record(2, {0, 1}), record(1, {3, 9})}; // 9: no such glyph
    movie.characters[3] = text;
    swf::EditText field;
    field.text = "  plain \n field ";
    movie.characters[4] = field;
    swf::EditText html;
    html.html = true;
    html.text = "<p>markup</p>";
    movie.characters[5] = html;
    EXPECT_EQ(movieText(movie), QStringLiteral("Ch1 章 plain field"));

    swf::Movie none;
    none.characters[1] = swf::Font{};
    swf::StaticText outlines;
    outlines.records = {record(1, {0})};
    none.characters[2] = outlines;
    EXPECT_EQ(movieText(none), QString());

    swf::Movie wordy;
    swf::EditText longField;
    longField.text = std::string(1000, 'x');
    wordy.characters[1] = longField;
    wordy.characters[2] = longField;
    EXPECT_EQ(movieText(wordy).size(), kLongestMovieText);
}

} // namespace
} // namespace velmora::controls
