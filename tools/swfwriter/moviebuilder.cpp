// The file as a whole: header, definitions in order of their ids, the main timeline.
#include "swfwriter.h"

#include <QFileInfo>
#include <QSaveFile>

#include <zlib.h>

#include <algorithm>
#include <cmath>

namespace velmora::swfwriter {

namespace {

// The runtime's number for a file that cannot be written.
constexpr long kFileAccessError = 75;

ShapeVersion resolveVersion(const QList<ShapeLayer> &layers, ShapeVersion requested)
{
    if (requested != ShapeVersion::Auto)
        return requested;
    const bool alpha = std::any_of(layers.begin(), layers.end(), [](const ShapeLayer &l) {
        return (l.fill && l.fill->hasAlpha()) || (l.line && l.line->color.alpha() != 255);
    });
    if (alpha)
        return ShapeVersion::Shape3;
    // New style arrays inside a shape need DefineShape2 or later.
    return layers.size() > 1 ? ShapeVersion::Shape2 : ShapeVersion::Shape1;
}

TagCode shapeTag(ShapeVersion v)
{
    switch (v) {
    case ShapeVersion::Shape2:
        return TagCode::DefineShape2;
    case ShapeVersion::Shape3:
        return TagCode::DefineShape3;
    case ShapeVersion::Auto:
    case ShapeVersion::Shape1:
        break;
    }
    return TagCode::DefineShape;
}

} // namespace

MovieBuilder::MovieBuilder(const QRect &stageTwips) : m_stage(stageTwips) {}

MovieBuilder::MovieBuilder(QSize stagePixels)
    : m_stage(0, 0, stagePixels.width() * kTwipsPerPixel, stagePixels.height() * kTwipsPerPixel)
{
}

quint16 MovieBuilder::defineShape(const QPainterPath &pathTwips, const Fill &fill,
                                  const std::optional<LineStyle> &line, ShapeVersion version)
{
    return defineShape(QList<ShapeLayer>{{pathTwips, fill, line}}, version);
}

quint16 MovieBuilder::defineShape(const QList<ShapeLayer> &layers, ShapeVersion version)
{
    const ShapeVersion v = resolveVersion(layers, version);
    const quint16 id = m_nextId++;
    BitWriter out;
    out.writeU16(id);
    writeRect(out, shapeBounds(layers));
    out.writeBytes(encodeShapeRecords(layers, v));
    m_definitions.append(encodeTag(shapeTag(v), out.bytes()));
    return id;
}

quint16 MovieBuilder::defineSprite(const Timeline &timeline)
{
    const quint16 id = m_nextId++;
    BitWriter out;
    out.writeU16(id);
    out.writeU16(timeline.frameCountClosed());
    out.writeBytes(timeline.tags());
    out.writeBytes(encodeTag(TagCode::End, {}));
    m_definitions.append(encodeTag(TagCode::DefineSprite, out.bytes()));
    return id;
}

quint16 MovieBuilder::defineButton2(const QList<ButtonRecord> &records, bool trackAsMenu)
{
    const quint16 id = m_nextId++;
    BitWriter out;
    out.writeU16(id);
    out.writeU8(trackAsMenu ? 1 : 0);
    out.writeU16(0); // no actions follow the records
    for (const ButtonRecord &r : records) {
        out.writeU8(r.states & 0x0F);
        out.writeU16(r.characterId);
        out.writeU16(r.depth);
        writeMatrix(out, r.matrix);
        writeColorTransform(out, r.colorTransform);
    }
    out.writeU8(0); // end of the character records
    m_definitions.append(encodeTag(TagCode::DefineButton2, out.bytes()));
    return id;
}

void MovieBuilder::addDefinition(TagCode code, const QByteArray &body)
{
    m_definitions.append(encodeTag(code, body));
    if (body.size() >= 2) {
        const auto id =
            static_cast<quint16>(static_cast<quint8>(body[0]) | static_cast<quint8>(body[1]) << 8);
        m_nextId = std::max<quint16>(m_nextId, static_cast<quint16>(id + 1));
    }
}

QByteArray MovieBuilder::build() const
{
    BitWriter body;
    writeRect(body, m_stage);
    const long rate = std::clamp<long>(std::lround(m_frameRate * 256.0), 0, 0xFFFF);
    body.writeU16(static_cast<std::uint16_t>(rate)); // 8.8: fraction byte first
    body.writeU16(m_timeline.frameCountClosed());
    if (m_version >= 8) {
        BitWriter attributes;
        attributes.writeU32(0); // no metadata, no ActionScript 3, no network use
        body.writeBytes(encodeTag(TagCode::FileAttributes, attributes.bytes()));
    }
    if (m_background) {
        BitWriter rgb;
        rgb.writeU8(static_cast<std::uint8_t>(m_background->red()));
        rgb.writeU8(static_cast<std::uint8_t>(m_background->green()));
        rgb.writeU8(static_cast<std::uint8_t>(m_background->blue()));
        body.writeBytes(encodeTag(TagCode::SetBackgroundColor, rgb.bytes()));
    }
    body.writeBytes(m_definitions);
    body.writeBytes(m_timeline.tags());
    body.writeBytes(encodeTag(TagCode::End, {}));

    const QByteArray payload = body.bytes();
    BitWriter file;
    file.writeBytes(m_compression == Compression::Zlib ? QByteArrayLiteral("CWS") : QByteArrayLiteral("FWS"));
    file.writeU8(m_version);
    // The length counts the header and the uncompressed body, also in a compressed file.
    file.writeU32(static_cast<std::uint32_t>(8 + payload.size()));
    if (m_compression == Compression::None) {
        file.writeBytes(payload);
        return file.bytes();
    }
    uLongf packedSize = compressBound(static_cast<uLong>(payload.size()));
    QByteArray packed(static_cast<qsizetype>(packedSize), '\0');
    const int rc = compress2(reinterpret_cast<Bytef *>(packed.data()), &packedSize,
                             reinterpret_cast<const Bytef *>(payload.constData()),
                             static_cast<uLong>(payload.size()), Z_BEST_COMPRESSION);
    if (rc != Z_OK)
        return {}; // only on memory exhaustion; save() reports the empty result
    packed.resize(static_cast<qsizetype>(packedSize));
    file.writeBytes(packed);
    return file.bytes();
}

Result<void> MovieBuilder::save(const QString &path) const
{
    const QByteArray bytes = build();
    if (bytes.isEmpty())
        return Error(kFileAccessError, "SWF writer: could not compress the movie for " + path.toStdString());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return Error(kFileAccessError, "SWF writer: cannot write " + path.toStdString() + ": " +
                                           file.errorString().toStdString());
    return {};
}

} // namespace velmora::swfwriter
