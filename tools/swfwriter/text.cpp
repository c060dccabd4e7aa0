// Fonts and texts: device fonts, edit fields and static text records.
#include "swfwriter.h"

#include <algorithm>

namespace velmora::swfwriter {

namespace {

// DefineEditText's two flag bytes.
enum EditFlag1 : quint8 {
    HasText = 0x80,
    WordWrap = 0x40,
    Multiline = 0x20,
    HasTextColor = 0x04,
    HasFont = 0x01,
};
enum EditFlag2 : quint8 {
    HasLayout = 0x20,
    Html = 0x02,
    UseOutlines = 0x01,
};

// DefineFont2 flags.
enum FontFlag : quint8 {
    FontWideCodes = 0x04,
    FontItalic = 0x02,
    FontBold = 0x01,
};

// DefineText record flags.
enum TextRecordFlag : quint8 {
    TextRecordType = 0x80,
    TextHasFont = 0x08,
    TextHasColor = 0x04,
    TextHasY = 0x02,
    TextHasX = 0x01,
};

void writeRgba(BitWriter &out, const QColor &c)
{
    out.writeU8(static_cast<quint8>(c.red()));
    out.writeU8(static_cast<quint8>(c.green()));
    out.writeU8(static_cast<quint8>(c.blue()));
    out.writeU8(static_cast<quint8>(c.alpha()));
}

} // namespace

quint16 MovieBuilder::defineDeviceFont(const QByteArray &name, const QString &characters, bool bold,
                                       bool italic)
{
    const quint16 id = m_nextId++;
    BitWriter out;
    out.writeU16(id);
    out.writeU8(FontWideCodes | (italic ? FontItalic : 0) | (bold ? FontBold : 0));
    out.writeU8(0); // language
    out.writeU8(static_cast<quint8>(std::min<qsizetype>(name.size(), 255)));
    out.writeBytes(name.left(255));
    const auto count = static_cast<quint16>(characters.size());
    out.writeU16(count);
    // Every glyph is an empty shape of two bytes: one fill bit, no line bits, the end record.
    const int tableSize = 2 * (count + 1);
    for (int i = 0; i <= count; ++i)
        out.writeU16(static_cast<quint16>(tableSize + 2 * i));
    for (int i = 0; i < count; ++i) {
        out.writeU8(0x10);
        out.writeU8(0x00);
    }
    for (const QChar c : characters)
        out.writeU16(c.unicode());
    m_definitions.append(encodeTag(TagCode::DefineFont2, out.bytes()));
    return id;
}

quint16 MovieBuilder::defineEditText(const EditField &field)
{
    const quint16 id = m_nextId++;
    BitWriter out;
    out.writeU16(id);
    writeRect(out, field.bounds);
    out.writeU8(HasText | HasTextColor | (field.wordWrap ? WordWrap : 0) | (field.multiline ? Multiline : 0) |
                (field.fontId ? HasFont : 0));
    out.writeU8(HasLayout | (field.html ? Html : 0) | (field.useOutlines ? UseOutlines : 0));
    if (field.fontId) {
        out.writeU16(field.fontId);
        out.writeU16(field.heightTwips);
    }
    writeRgba(out, field.color);
    out.writeU8(static_cast<quint8>(field.align));
    out.writeU16(field.leftMargin);
    out.writeU16(field.rightMargin);
    out.writeU16(field.indent);
    out.writeS16(field.leading);
    out.writeString({}); // variable name
    out.writeString(field.text);
    m_definitions.append(encodeTag(TagCode::DefineEditText, out.bytes()));
    return id;
}

quint16 MovieBuilder::defineText(const QRect &boundsTwips, const QList<TextRun> &runs)
{
    int glyphBits = 1, advanceBits = 1;
    for (const TextRun &run : runs) {
        for (const quint16 g : run.glyphs)
            glyphBits = std::max(glyphBits, BitWriter::bitsForUnsigned(g));
        for (const qint16 a : run.advances)
            advanceBits = std::max(advanceBits, BitWriter::bitsForSigned(a));
    }
    const quint16 id = m_nextId++;
    BitWriter out;
    out.writeU16(id);
    writeRect(out, boundsTwips);
    writeMatrix(out, QTransform());
    out.writeU8(static_cast<quint8>(glyphBits));
    out.writeU8(static_cast<quint8>(advanceBits));
    for (const TextRun &run : runs) {
        out.writeU8(TextRecordType | TextHasFont | TextHasColor | TextHasY | TextHasX);
        out.writeU16(run.fontId);
        writeRgba(out, run.color);
        out.writeS16(static_cast<qint16>(run.originTwips.x()));
        out.writeS16(static_cast<qint16>(run.originTwips.y()));
        out.writeU16(run.heightTwips);
        const auto count = static_cast<quint8>(std::min<qsizetype>(run.glyphs.size(), 255));
        out.writeU8(count);
        for (int i = 0; i < count; ++i) {
            out.writeUB(run.glyphs[i], glyphBits);
            out.writeSB(i < run.advances.size() ? run.advances[i] : 0, advanceBits);
        }
        out.align();
    }
    out.writeU8(0);
    m_definitions.append(encodeTag(TagCode::DefineText2, out.bytes()));
    return id;
}

} // namespace velmora::swfwriter
