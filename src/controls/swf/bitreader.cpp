#include "controls/swf/bitreader.h"

namespace velmora::swf {

void BitReader::skip(std::size_t n)
{
    align();
    if (n > remaining())
        throw TruncatedData();
    m_pos += n;
}

std::span<const std::uint8_t> BitReader::bytes(std::size_t n)
{
    align();
    if (n > remaining())
        throw TruncatedData();
    auto out = m_bytes.subspan(m_pos, n);
    m_pos += n;
    return out;
}

std::uint8_t BitReader::u8()
{
    align();
    if (m_pos >= m_bytes.size())
        throw TruncatedData();
    return m_bytes[m_pos++];
}

std::uint16_t BitReader::u16()
{
    std::uint16_t lo = u8();
    return static_cast<std::uint16_t>(lo | (u8() << 8));
}

std::uint32_t BitReader::u32()
{
    std::uint32_t lo = u16();
    return lo | (static_cast<std::uint32_t>(u16()) << 16);
}

std::string BitReader::string()
{
    std::string out;
    for (;;) {
        char c = static_cast<char>(u8());
        if (c == 0)
            return out;
        out.push_back(c);
    }
}

std::uint32_t BitReader::bits(int n)
{
    std::uint32_t value = 0;
    for (int i = 0; i < n; ++i) {
        if (m_bitCount == 0) {
            if (m_pos >= m_bytes.size())
                throw TruncatedData();
            m_bitBuffer = m_bytes[m_pos++];
            m_bitCount = 8;
        }
        --m_bitCount;
        value = (value << 1) | ((m_bitBuffer >> m_bitCount) & 1u);
    }
    return value;
}

std::int32_t BitReader::sbits(int n)
{
    if (n <= 0)
        return 0;
    std::uint32_t raw = bits(n);
    if (n < 32 && (raw & (1u << (n - 1))))
        raw |= ~((1u << n) - 1);
    return static_cast<std::int32_t>(raw);
}

Rgba BitReader::rgb()
{
    Rgba c;
    c.r = u8();
    c.g = u8();
    c.b = u8();
    return c;
}

Rgba BitReader::rgba()
{
    Rgba c = rgb();
    c.a = u8();
    return c;
}

TwipsRect BitReader::rect()
{
    align();
    int n = static_cast<int>(bits(5));
    TwipsRect r;
    r.xMin = sbits(n);
    r.xMax = sbits(n);
    r.yMin = sbits(n);
    r.yMax = sbits(n);
    align();
    return r;
}

Matrix BitReader::matrix()
{
    align();
    Matrix m;
    if (flag()) {
        int n = static_cast<int>(bits(5));
        m.a = fbits(n);
        m.d = fbits(n);
    }
    if (flag()) {
        int n = static_cast<int>(bits(5));
        m.b = fbits(n); // RotateSkew0
        m.c = fbits(n); // RotateSkew1
    }
    int n = static_cast<int>(bits(5));
    m.tx = sbits(n);
    m.ty = sbits(n);
    align();
    return m;
}

ColorTransform BitReader::colorTransform(bool withAlpha)
{
    align();
    ColorTransform cx;
    bool hasAdd = flag();
    bool hasMul = flag();
    int n = static_cast<int>(bits(4));
    if (hasMul) {
        cx.rMul = sbits(n) / 256.0;
        cx.gMul = sbits(n) / 256.0;
        cx.bMul = sbits(n) / 256.0;
        if (withAlpha)
            cx.aMul = sbits(n) / 256.0;
    }
    if (hasAdd) {
        cx.rAdd = sbits(n);
        cx.gAdd = sbits(n);
        cx.bAdd = sbits(n);
        if (withAlpha)
            cx.aAdd = sbits(n);
    }
    align();
    return cx;
}

} // namespace velmora::swf
