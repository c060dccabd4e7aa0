// Tag headers, rectangles, matrices, colour transforms and the control tags of a timeline.
#include "swfwriter.h"

#include <algorithm>
#include <cmath>

namespace velmora::swfwriter {

namespace {

int roundTwips(qreal value)
{
    return static_cast<int>(std::lround(value));
}

// 8.8 fixed point, as colour transforms store their multipliers (256 = 1.0).
std::int32_t toFixed8(qreal value)
{
    return static_cast<std::int32_t>(std::clamp<long>(std::lround(value * 256.0), -16383, 16383));
}

} // namespace

QByteArray encodeTag(TagCode code, const QByteArray &body, bool forceLong)
{
    BitWriter out;
    const auto length = static_cast<std::uint32_t>(body.size());
    if (length < 0x3F && !forceLong) {
        out.writeU16(static_cast<std::uint16_t>(swf::raw(code) << 6 | length));
    } else {
        out.writeU16(static_cast<std::uint16_t>(swf::raw(code) << 6 | 0x3F));
        out.writeU32(length);
    }
    out.writeBytes(body);
    return out.bytes();
}

void writeRect(BitWriter &out, const QRect &twips)
{
    // QRect's right() is one less than left + width; the file stores the far edge itself.
    const std::int32_t values[4] = {twips.left(), twips.left() + twips.width(), twips.top(),
                                    twips.top() + twips.height()};
    int bits = 0;
    for (std::int32_t v : values)
        bits = std::max(bits, BitWriter::bitsForSigned(v));
    out.writeUB(static_cast<std::uint32_t>(bits), 5);
    for (std::int32_t v : values)
        out.writeSB(v, bits);
    out.align();
}

void writeMatrix(BitWriter &out, const QTransform &m)
{
    const std::int32_t scaleX = BitWriter::toFixed16(m.m11());
    const std::int32_t scaleY = BitWriter::toFixed16(m.m22());
    const std::int32_t skew0 = BitWriter::toFixed16(m.m12());
    const std::int32_t skew1 = BitWriter::toFixed16(m.m21());
    const bool hasScale = scaleX != 65536 || scaleY != 65536;
    out.writeUB(hasScale ? 1 : 0, 1);
    if (hasScale) {
        const int bits = std::max(BitWriter::bitsForSigned(scaleX), BitWriter::bitsForSigned(scaleY));
        out.writeUB(static_cast<std::uint32_t>(bits), 5);
        out.writeSB(scaleX, bits);
        out.writeSB(scaleY, bits);
    }
    const bool hasRotate = skew0 != 0 || skew1 != 0;
    out.writeUB(hasRotate ? 1 : 0, 1);
    if (hasRotate) {
        const int bits = std::max(BitWriter::bitsForSigned(skew0), BitWriter::bitsForSigned(skew1));
        out.writeUB(static_cast<std::uint32_t>(bits), 5);
        out.writeSB(skew0, bits);
        out.writeSB(skew1, bits);
    }
    const std::int32_t tx = roundTwips(m.dx());
    const std::int32_t ty = roundTwips(m.dy());
    // No translation takes zero bits: the reader then takes both as 0.
    const int bits =
        (tx == 0 && ty == 0) ? 0 : std::max(BitWriter::bitsForSigned(tx), BitWriter::bitsForSigned(ty));
    out.writeUB(static_cast<std::uint32_t>(bits), 5);
    out.writeSB(tx, bits);
    out.writeSB(ty, bits);
    out.align();
}

bool ColorTransform::isIdentity() const
{
    return redMult == 1 && greenMult == 1 && blueMult == 1 && alphaMult == 1 && redAdd == 0 &&
           greenAdd == 0 && blueAdd == 0 && alphaAdd == 0;
}

ColorTransform ColorTransform::alpha(qreal alphaMult)
{
    ColorTransform cx;
    cx.alphaMult = alphaMult;
    return cx;
}

void writeColorTransform(BitWriter &out, const ColorTransform &cx)
{
    const std::int32_t mult[4] = {toFixed8(cx.redMult), toFixed8(cx.greenMult), toFixed8(cx.blueMult),
                                  toFixed8(cx.alphaMult)};
    const std::int32_t add[4] = {std::clamp(cx.redAdd, -255, 255), std::clamp(cx.greenAdd, -255, 255),
                                 std::clamp(cx.blueAdd, -255, 255), std::clamp(cx.alphaAdd, -255, 255)};
    const bool hasMult =
        std::any_of(std::begin(mult), std::end(mult), [](std::int32_t v) { return v != 256; });
    const bool hasAdd = std::any_of(std::begin(add), std::end(add), [](std::int32_t v) { return v != 0; });
    int bits = 0;
    for (int i = 0; i < 4; ++i) {
        if (hasMult)
            bits = std::max(bits, BitWriter::bitsForSigned(mult[i]));
        if (hasAdd)
            bits = std::max(bits, BitWriter::bitsForSigned(add[i]));
    }
    out.writeUB(hasAdd ? 1 : 0, 1);
    out.writeUB(hasMult ? 1 : 0, 1);
    out.writeUB(static_cast<std::uint32_t>(bits), 4);
    // The add flag comes first, but the multipliers are stored first.
    if (hasMult)
        for (std::int32_t v : mult)
            out.writeSB(v, bits);
    if (hasAdd)
        for (std::int32_t v : add)
            out.writeSB(v, bits);
    out.align();
}

namespace {

QByteArray placeObject2Body(quint8 moveFlag, quint16 depth, std::optional<quint16> characterId,
                            const Placement &p)
{
    quint8 flags = moveFlag;
    if (characterId)
        flags |= 0x02;
    if (p.matrix)
        flags |= 0x04;
    if (p.colorTransform)
        flags |= 0x08;
    if (p.ratio)
        flags |= 0x10;
    if (!p.name.isEmpty())
        flags |= 0x20;
    if (p.clipDepth)
        flags |= 0x40;
    BitWriter out;
    out.writeU8(flags);
    out.writeU16(depth);
    if (characterId)
        out.writeU16(*characterId);
    if (p.matrix)
        writeMatrix(out, *p.matrix);
    if (p.colorTransform)
        writeColorTransform(out, *p.colorTransform);
    if (p.ratio)
        out.writeU16(*p.ratio);
    if (!p.name.isEmpty())
        out.writeString(p.name);
    if (p.clipDepth)
        out.writeU16(*p.clipDepth);
    return out.bytes();
}

} // namespace

void Timeline::addTag(TagCode code, const QByteArray &body)
{
    m_tags.append(encodeTag(code, body));
    if (code == TagCode::ShowFrame) {
        ++m_frames;
        m_openFrame = false;
    } else {
        m_openFrame = true;
    }
}

void Timeline::placeObject(quint16 depth, quint16 characterId, const Placement &placement)
{
    addTag(TagCode::PlaceObject2, placeObject2Body(0, depth, characterId, placement));
}

void Timeline::moveObject(quint16 depth, const Placement &placement)
{
    addTag(TagCode::PlaceObject2, placeObject2Body(1, depth, std::nullopt, placement));
}

void Timeline::replaceObject(quint16 depth, quint16 characterId, const Placement &placement)
{
    addTag(TagCode::PlaceObject2, placeObject2Body(1, depth, characterId, placement));
}

void Timeline::removeObject(quint16 depth)
{
    BitWriter out;
    out.writeU16(depth);
    addTag(TagCode::RemoveObject2, out.bytes());
}

void Timeline::frameLabel(const QString &name)
{
    BitWriter out;
    out.writeString(name);
    addTag(TagCode::FrameLabel, out.bytes());
}

void Timeline::doAction(const QByteArray &actionRecords)
{
    addTag(TagCode::DoAction, actionRecords + QByteArray(1, '\0'));
}

void Timeline::stop()
{
    doAction(QByteArray(1, static_cast<char>(swf::ActionCode::Stop)));
}

void Timeline::play()
{
    doAction(QByteArray(1, static_cast<char>(swf::ActionCode::Play)));
}

void Timeline::gotoFrame(quint16 frameIndex)
{
    BitWriter out;
    out.writeU8(swf::raw(swf::ActionCode::GotoFrame));
    out.writeU16(2);
    out.writeU16(frameIndex);
    doAction(out.bytes());
}

void Timeline::showFrame()
{
    addTag(TagCode::ShowFrame, {});
}

QByteArray Timeline::tags(bool closeFrame) const
{
    if (closeFrame && (m_openFrame || m_frames == 0))
        return m_tags + encodeTag(TagCode::ShowFrame, {});
    return m_tags;
}

quint16 Timeline::frameCountClosed() const
{
    return (m_openFrame || m_frames == 0) ? static_cast<quint16>(m_frames + 1) : m_frames;
}

} // namespace velmora::swfwriter
