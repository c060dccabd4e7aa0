// A small reader for the shape records the writer emits, so tests can check geometry and
// fill sides without the player. It knows only what the writer writes: one style per array.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPoint>

#include <cstdint>

namespace velmora::swfwriter::testing {

class BitReader {
public:
    explicit BitReader(const QByteArray &bytes, qsizetype offset = 0) : m_bytes(bytes), m_pos(offset) {}
    std::uint32_t readUB(int bits)
    {
        std::uint32_t v = 0;
        for (int i = 0; i < bits; ++i) {
            if (m_pos >= m_bytes.size()) {
                m_overrun = true;
                return v;
            }
            const auto byte = static_cast<std::uint8_t>(m_bytes[m_pos]);
            v = (v << 1) | ((byte >> (7 - m_bit)) & 1u);
            if (++m_bit == 8) {
                m_bit = 0;
                ++m_pos;
            }
        }
        return v;
    }
    std::int32_t readSB(int bits)
    {
        if (bits == 0)
            return 0;
        const std::uint32_t v = readUB(bits);
        const std::uint32_t sign = 1u << (bits - 1);
        return static_cast<std::int32_t>((v ^ sign)) - static_cast<std::int32_t>(sign);
    }
    void align()
    {
        if (m_bit != 0) {
            m_bit = 0;
            ++m_pos;
        }
    }
    std::uint8_t readU8()
    {
        align();
        return static_cast<std::uint8_t>(readUB(8));
    }
    std::uint16_t readU16()
    {
        const std::uint16_t lo = readU8();
        return static_cast<std::uint16_t>(lo | readU8() << 8);
    }
    qsizetype pos() const { return m_pos; }
    bool overrun() const { return m_overrun; }

private:
    const QByteArray &m_bytes;
    qsizetype m_pos;
    int m_bit = 0;
    bool m_overrun = false;
};

struct DecodedEdge {
    bool curved = false;
    QPoint control; // absolute
    QPoint end;     // absolute
};

struct DecodedContour {
    int layer = 0;
    QPoint start;
    std::uint32_t fill0 = 0, fill1 = 0, line = 0;
    QList<DecodedEdge> edges;
};

struct DecodedShape {
    QList<DecodedContour> contours;
    int layers = 0;
    bool ok = false;
};

// Reads style arrays and records as written by encodeShapeRecords (`alpha`: RGBA colours).
DecodedShape decodeShapeRecords(const QByteArray &bytes, bool alpha);

} // namespace velmora::swfwriter::testing
