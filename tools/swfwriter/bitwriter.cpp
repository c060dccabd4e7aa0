#include "bitwriter.h"

#include <cmath>
#include <limits>

namespace velmora::swfwriter {

int BitWriter::bitsForUnsigned(std::uint32_t value)
{
    int bits = 0;
    while (value != 0) {
        ++bits;
        value >>= 1;
    }
    return bits;
}

int BitWriter::bitsForSigned(std::int32_t value)
{
    // A negative value needs as many bits as its complement, plus the sign bit.
    const std::uint32_t magnitude =
        value < 0 ? ~static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    return bitsForUnsigned(magnitude) + 1;
}

std::int32_t BitWriter::toFixed16(double value)
{
    const double scaled = std::round(value * 65536.0);
    if (scaled >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (scaled <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(scaled);
}

int BitWriter::bitsForFixed(double value)
{
    return bitsForSigned(toFixed16(value));
}

void BitWriter::writeUB(std::uint32_t value, int bits)
{
    for (int i = bits - 1; i >= 0; --i) {
        m_current = static_cast<std::uint8_t>(m_current | (((value >> i) & 1u) << (7 - m_used)));
        if (++m_used == 8) {
            m_bytes.append(static_cast<char>(m_current));
            m_current = 0;
            m_used = 0;
        }
    }
}

void BitWriter::writeSB(std::int32_t value, int bits)
{
    writeUB(static_cast<std::uint32_t>(value), bits);
}

void BitWriter::writeFB(double value, int bits)
{
    writeSB(toFixed16(value), bits);
}

void BitWriter::align()
{
    if (m_used > 0) {
        m_bytes.append(static_cast<char>(m_current));
        m_current = 0;
        m_used = 0;
    }
}

void BitWriter::writeU8(std::uint8_t value)
{
    align();
    m_bytes.append(static_cast<char>(value));
}

void BitWriter::writeU16(std::uint16_t value)
{
    writeU8(static_cast<std::uint8_t>(value & 0xFF));
    writeU8(static_cast<std::uint8_t>(value >> 8));
}

void BitWriter::writeS16(std::int16_t value)
{
    writeU16(static_cast<std::uint16_t>(value));
}

void BitWriter::writeU32(std::uint32_t value)
{
    writeU16(static_cast<std::uint16_t>(value & 0xFFFF));
    writeU16(static_cast<std::uint16_t>(value >> 16));
}

void BitWriter::writeBytes(const QByteArray &bytes)
{
    align();
    m_bytes.append(bytes);
}

void BitWriter::writeString(const QString &text)
{
    align();
    m_bytes.append(text.toUtf8());
    m_bytes.append('\0');
}

QByteArray BitWriter::bytes() const
{
    QByteArray out = m_bytes;
    if (m_used > 0)
        out.append(static_cast<char>(m_current));
    return out;
}

qsizetype BitWriter::size() const
{
    return m_bytes.size() + (m_used > 0 ? 1 : 0);
}

} // namespace velmora::swfwriter
