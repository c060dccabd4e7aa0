#include "swfbytes.h"

#include "swfwriter.h"

#include <lzma.h>
#include <zlib.h>

#include <stdexcept>
#include <utility>

namespace velmora::swf::test {

BitWriter &BitWriter::bits(std::uint32_t value, int n)
{
    m_out.writeUB(value, n);
    return *this;
}

BitWriter &BitWriter::align()
{
    m_out.align();
    return *this;
}

BitWriter &BitWriter::u8(std::uint8_t v)
{
    m_out.writeU8(v);
    return *this;
}

BitWriter &BitWriter::u16(std::uint16_t v)
{
    m_out.writeU16(v);
    return *this;
}

BitWriter &BitWriter::u32(std::uint32_t v)
{
    m_out.writeU32(v);
    return *this;
}

BitWriter &BitWriter::bytes(const std::vector<std::uint8_t> &v)
{
    m_out.writeBytes(QByteArray(reinterpret_cast<const char *>(v.data()), static_cast<qsizetype>(v.size())));
    return *this;
}

BitWriter &BitWriter::rect(int xMin, int xMax, int yMin, int yMax)
{
    align();
    bits(16, 5).sbits(xMin, 16).sbits(xMax, 16).sbits(yMin, 16).sbits(yMax, 16);
    return align();
}

BitWriter &BitWriter::translate(int tx, int ty)
{
    align();
    bits(0, 1).bits(0, 1).bits(16, 5).sbits(tx, 16).sbits(ty, 16);
    return align();
}

std::vector<std::uint8_t> BitWriter::take()
{
    const QByteArray bytes = std::exchange(m_out, {}).bytes();
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

MovieBytes &MovieBytes::tag(TagCode code, const std::vector<std::uint8_t> &body)
{
    BitWriter w;
    if (body.size() < 0x3F) {
        w.u16(static_cast<std::uint16_t>(raw(code) << 6 | static_cast<int>(body.size())));
    } else {
        w.u16(static_cast<std::uint16_t>(raw(code) << 6 | 0x3F)).u32(static_cast<std::uint32_t>(body.size()));
    }
    w.bytes(body);
    auto bytes = w.take();
    tags.insert(tags.end(), bytes.begin(), bytes.end());
    return *this;
}

std::vector<std::uint8_t> MovieBytes::build(char compression) const
{
    BitWriter body;
    body.rect(0, widthPx * swfwriter::kTwipsPerPixel, 0, heightPx * swfwriter::kTwipsPerPixel)
        .u8(0)
        .u8(static_cast<std::uint8_t>(frameRate));
    body.u16(static_cast<std::uint16_t>(frameCount)).bytes(tags).u16(0);
    std::vector<std::uint8_t> raw = body.take();

    BitWriter file;
    file.u8(static_cast<std::uint8_t>(compression)).u8('W').u8('S').u8(static_cast<std::uint8_t>(version));
    file.u32(static_cast<std::uint32_t>(raw.size() + 8));
    if (compression == 'F') {
        file.bytes(raw);
    } else if (compression == 'C') {
        uLongf size = compressBound(raw.size());
        std::vector<std::uint8_t> packed(size);
        compress(packed.data(), &size, raw.data(), raw.size());
        packed.resize(size);
        file.bytes(packed);
    } else {
        lzma_options_lzma options;
        lzma_lzma_preset(&options, 6);
        lzma_stream strm = LZMA_STREAM_INIT;
        if (lzma_alone_encoder(&strm, &options) != LZMA_OK)
            throw std::runtime_error("lzma");
        std::vector<std::uint8_t> packed(raw.size() * 2 + 1024);
        strm.next_in = raw.data();
        strm.avail_in = raw.size();
        strm.next_out = packed.data();
        strm.avail_out = packed.size();
        while (lzma_code(&strm, LZMA_FINISH) == LZMA_OK) {
        }
        packed.resize(packed.size() - strm.avail_out);
        lzma_end(&strm);
        // The alone header is 5 property bytes and an 8-byte size; the movie keeps
        // a 4-byte compressed length and the properties only.
        file.u32(static_cast<std::uint32_t>(packed.size() - 13));
        file.bytes({packed.begin(), packed.begin() + 5});
        file.bytes({packed.begin() + 13, packed.end()});
    }
    return file.take();
}

std::vector<std::uint8_t> rectangleShape(std::uint16_t id, int x0, int y0, int x1, int y1, std::uint8_t r,
                                         std::uint8_t g, std::uint8_t b, int side)
{
    BitWriter w;
    w.u16(id).rect(x0, x1, y0, y1);
    w.u8(1).u8(raw(FillStyleType::Solid)).u8(r).u8(g).u8(b); // one solid fill
    w.u8(0);                                                 // no line styles
    w.bits(1, 4).bits(0, 4);                                 // NumFillBits 1, NumLineBits 0
    // StyleChange: MoveTo + FillStyle0 or FillStyle1 = 1.
    w.bits(0, 1).bits(0, 1).bits(0, 1).bits(side == 1 ? 1 : 0, 1).bits(side == 0 ? 1 : 0, 1).bits(1, 1);
    w.bits(16, 5).sbits(x0, 16).sbits(y0, 16).bits(1, 1);
    // Clockwise on screen: right, down, left, up (straight, general line).
    auto line = [&w](int dx, int dy) {
        w.bits(1, 1).bits(1, 1).bits(14, 4).bits(1, 1).sbits(dx, 16).sbits(dy, 16);
    };
    line(x1 - x0, 0);
    line(0, y1 - y0);
    line(x0 - x1, 0);
    line(0, y0 - y1);
    w.bits(0, 6); // end of shape
    return w.take();
}

std::vector<std::uint8_t> placeObject(std::uint16_t id, std::uint16_t depth, int tx, int ty)
{
    BitWriter w;
    w.u8(0x02 | 0x04).u16(depth).u16(id).translate(tx, ty);
    return w.take();
}

std::vector<std::uint8_t> removeObject(std::uint16_t depth)
{
    return BitWriter().u16(depth).take();
}

} // namespace velmora::swf::test
