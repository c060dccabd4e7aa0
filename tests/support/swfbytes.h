// Test helpers that write movie bytes by hand: the writer's bit writer behind calls
// that chain and give byte vectors, and a tag-stream builder with optional compression.
#pragma once

#include "bitwriter.h"
#include "controls/swf/swfcodes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace velmora::swf::test {

class BitWriter {
public:
    BitWriter &bits(std::uint32_t value, int n);
    BitWriter &sbits(std::int32_t value, int n) { return bits(static_cast<std::uint32_t>(value), n); }
    BitWriter &align();
    BitWriter &u8(std::uint8_t v);
    BitWriter &u16(std::uint16_t v);
    BitWriter &u32(std::uint32_t v);
    BitWriter &bytes(const std::vector<std::uint8_t> &v);
    // RECT with 16-bit fields; MATRIX with translation only (16-bit fields).
    BitWriter &rect(int xMin, int xMax, int yMin, int yMax);
    BitWriter &translate(int tx, int ty);
    std::vector<std::uint8_t> take();

private:
    swfwriter::BitWriter m_out;
};

struct MovieBytes {
    int version = 10;
    int widthPx = 100, heightPx = 50;
    int frameRate = 12;
    int frameCount = 1;
    std::vector<std::uint8_t> tags;

    MovieBytes &tag(TagCode code, const std::vector<std::uint8_t> &body);
    MovieBytes &showFrame() { return tag(TagCode::ShowFrame, {}); }
    // compression: 'F', 'C' (zlib) or 'Z' (LZMA).
    std::vector<std::uint8_t> build(char compression = 'F') const;
};

// A DefineShape (v1) body: one solid RGB fill drawn as an axis-aligned rectangle in
// twips, the edges carrying the fill on the side named by `side` (0 or 1).
std::vector<std::uint8_t> rectangleShape(std::uint16_t id, int x0, int y0, int x1, int y1, std::uint8_t r,
                                         std::uint8_t g, std::uint8_t b, int side = 1);
// PlaceObject2 placing character id at depth with a translation.
std::vector<std::uint8_t> placeObject(std::uint16_t id, std::uint16_t depth, int tx = 0, int ty = 0);
std::vector<std::uint8_t> removeObject(std::uint16_t depth);

} // namespace velmora::swf::test
