// Reads the movie's little-endian integers and MSB-first bit fields from a bounded
// byte range. Reading past the end throws TruncatedData, which the tag reader turns
// into an error for that tag alone.
#pragma once

#include "controls/swf/types.h"

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

namespace velmora::swf {

struct TruncatedData : std::runtime_error {
    TruncatedData() : std::runtime_error("data ends early") {}
};

// Data that is all there but makes no sense (an unknown filter, a glyph outside its
// font); the tag reader drops the tag with this text as its warning.
struct BadTag : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class BitReader {
public:
    explicit BitReader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    std::size_t position() const { return m_pos; }
    std::size_t remaining() const { return m_pos < m_bytes.size() ? m_bytes.size() - m_pos : 0; }
    bool atEnd() const { return remaining() == 0; }
    std::span<const std::uint8_t> rest() const { return m_bytes.subspan(std::min(m_pos, m_bytes.size())); }

    void align() { m_bitCount = 0; }
    void skip(std::size_t n);
    std::span<const std::uint8_t> bytes(std::size_t n);

    std::uint8_t u8();
    std::uint16_t u16();
    std::uint32_t u32();
    std::int16_t s16() { return static_cast<std::int16_t>(u16()); }
    double fixed8() { return s16() / 256.0; } // 8.8
    std::string string();                     // NUL-terminated

    std::uint32_t bits(int n);
    std::int32_t sbits(int n);
    double fbits(int n) { return sbits(n) / 65536.0; } // 16.16
    bool flag() { return bits(1) != 0; }

    Rgba rgb();
    Rgba rgba();
    TwipsRect rect();
    Matrix matrix();
    ColorTransform colorTransform(bool withAlpha);

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_pos = 0;
    std::uint8_t m_bitBuffer = 0;
    int m_bitCount = 0;
};

} // namespace velmora::swf
