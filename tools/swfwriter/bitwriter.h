// Writes the little-endian integers and MSB-first bit fields that movie files are made of.
// Bit fields fill each byte from its top bit; byte-sized writes first pad the open byte.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace velmora::swfwriter {

class BitWriter {
public:
    // Fewest bits that hold `value` as an unsigned / two's-complement field (at least 1 for signed).
    static int bitsForUnsigned(std::uint32_t value);
    static int bitsForSigned(std::int32_t value);
    // The same for a 16.16 fixed-point number, as matrices store their scale and rotation.
    static int bitsForFixed(double value);
    static std::int32_t toFixed16(double value);

    void writeUB(std::uint32_t value, int bits);
    void writeSB(std::int32_t value, int bits);
    void writeFB(double value, int bits);
    // Pads the open byte with zero bits; later bit fields start on a fresh byte.
    void align();

    void writeU8(std::uint8_t value);
    void writeU16(std::uint16_t value);
    void writeS16(std::int16_t value);
    void writeU32(std::uint32_t value);
    void writeBytes(const QByteArray &bytes);
    // UTF-8 bytes followed by a terminating zero, as names and labels are stored.
    void writeString(const QString &text);

    // Everything written so far, the open byte included (padded with zero bits).
    QByteArray bytes() const;
    qsizetype size() const;

private:
    QByteArray m_bytes;
    std::uint8_t m_current = 0;
    int m_used = 0; // bits already taken in m_current
};

} // namespace velmora::swfwriter
