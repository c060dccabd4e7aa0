// Reads the defining tags of a movie, one function per tag: shapes, morph shapes,
// bitmaps, fonts, texts and buttons go into the character table, the background
// colour and the shared JPEG tables into the movie's settings.
#pragma once

#include "controls/swf/bitreader.h"
#include "controls/swf/movie.h"
#include "controls/swf/swfcodes.h"

namespace velmora::swf {

class DefinitionReader {
public:
    explicit DefinitionReader(Movie &movie) : m_movie(movie) {}

    // Reads a defining tag from its own body; false when `code` defines nothing.
    // Sprites are read with their timeline, elsewhere.
    bool read(TagCode code, BitReader &body);

private:
    void define(std::uint16_t id, Character c) { m_movie.characters.insert_or_assign(id, std::move(c)); }

    void setBackgroundColor(BitReader &in);
    void defineShape(BitReader &in, int version);
    void defineMorphShape(BitReader &in, int version);
    void defineBitmap(TagCode code, BitReader &in);
    void defineFont(BitReader &in);
    void defineFont2(BitReader &in, bool v3);
    void defineFontInfo(BitReader &in, bool v2);
    void defineText(BitReader &in, bool v2);
    void defineEditText(BitReader &in);
    void defineButton(BitReader &in);
    void defineButton2(BitReader &in);
    void defineButtonCxform(BitReader &in);

    Movie &m_movie;
    std::vector<std::uint8_t> m_jpegTables;
    bool m_haveBackground = false;
    std::int64_t m_bitmapPixels = 0; // decoded so far, held to kMaxMovieBitmapPixels
};

} // namespace velmora::swf
