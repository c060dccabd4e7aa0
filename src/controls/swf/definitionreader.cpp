#include "controls/swf/definitionreader.h"

#include "controls/swf/actionreader.h"
#include "controls/swf/bitmapdecoder.h"
#include "controls/swf/filterreader.h"
#include "controls/swf/shapereader.h"
#include "controls/swf/timelinereader.h"

namespace velmora::swf {

namespace {

// DefineButton and DefineButton2 record flags besides the four states.
enum ButtonRecordFlag : int {
    StateBits = 0x0F,
    HasFilterList = 0x10,
    HasBlendMode = 0x20,
};

// DefineFont2/DefineFont3 flags.
enum FontFlag : int {
    FontHasLayout = 0x80,
    FontWideOffsets = 0x08,
    FontWideCodes = 0x04,
    FontItalic = 0x02,
    FontBold = 0x01,
};

// DefineFontInfo/DefineFontInfo2 flags.
enum FontInfoFlag : int {
    InfoItalic = 0x04,
    InfoBold = 0x02,
    InfoWideCodes = 0x01,
};

std::string readName(BitReader &in)
{
    const auto bytes = in.bytes(in.u8());
    return {bytes.begin(), bytes.end()};
}

ShapeGeometry readGlyph(BitReader &in)
{
    std::vector<StyleSet> sets(1);
    sets[0].fills.resize(1);
    auto records = readShapeRecords(in, 1, sets);
    return buildGeometry(records, sets, true);
}

// Glyph shapes between the given offsets of the glyph table, the last offset
// being the table's end.
void readGlyphs(std::span<const std::uint8_t> table, const std::vector<std::size_t> &starts, Font &font)
{
    for (std::size_t i = 0; i + 1 < starts.size(); ++i) {
        const std::size_t begin = starts[i], end = starts[i + 1];
        if (begin > end || end > table.size())
            throw BadTag("glyph offset outside the font");
        BitReader g(table.subspan(begin, end - begin));
        font.glyphs.push_back(readGlyph(g));
    }
}

// Button records up to the end flag; DefineButton2's carry colour, filters and blend.
std::vector<ButtonRecord> readButtonRecords(BitReader &in, bool v2)
{
    std::vector<ButtonRecord> records;
    for (;;) {
        const int flags = in.u8();
        if (flags == 0)
            break;
        ButtonRecord r;
        r.states = static_cast<std::uint8_t>(flags & StateBits);
        r.characterId = in.u16();
        r.depth = in.u16();
        r.matrix = in.matrix();
        if (v2) {
            r.colorTransform = in.colorTransform(true);
            if (flags & HasFilterList)
                r.filters = readFilterList(in);
            if (flags & HasBlendMode)
                r.blendMode = readBlendMode(in);
        }
        records.push_back(std::move(r));
    }
    return records;
}

} // namespace

bool DefinitionReader::read(TagCode code, BitReader &body)
{
    switch (code) {
    case TagCode::SetBackgroundColor:
        setBackgroundColor(body);
        return true;
    case TagCode::DefineShape:
        defineShape(body, 1);
        return true;
    case TagCode::DefineShape2:
        defineShape(body, 2);
        return true;
    case TagCode::DefineShape3:
        defineShape(body, 3);
        return true;
    case TagCode::DefineShape4:
        defineShape(body, 4);
        return true;
    case TagCode::DefineMorphShape:
        defineMorphShape(body, 1);
        return true;
    case TagCode::DefineMorphShape2:
        defineMorphShape(body, 2);
        return true;
    case TagCode::JPEGTables:
        m_jpegTables.assign(body.rest().begin(), body.rest().end());
        return true;
    case TagCode::DefineBits:
    case TagCode::DefineBitsJPEG2:
    case TagCode::DefineBitsJPEG3:
    case TagCode::DefineBitsJPEG4:
    case TagCode::DefineBitsLossless:
    case TagCode::DefineBitsLossless2:
        defineBitmap(code, body);
        return true;
    case TagCode::DefineFont:
        defineFont(body);
        return true;
    case TagCode::DefineFont2:
    case TagCode::DefineFont3:
        defineFont2(body, code == TagCode::DefineFont3);
        return true;
    case TagCode::DefineFontInfo:
    case TagCode::DefineFontInfo2:
        defineFontInfo(body, code == TagCode::DefineFontInfo2);
        return true;
    case TagCode::DefineText:
    case TagCode::DefineText2:
        defineText(body, code == TagCode::DefineText2);
        return true;
    case TagCode::DefineEditText:
        defineEditText(body);
        return true;
    case TagCode::DefineButton:
        defineButton(body);
        return true;
    case TagCode::DefineButton2:
        defineButton2(body);
        return true;
    case TagCode::DefineButtonCxform:
        defineButtonCxform(body);
        return true;
    default:
        return false;
    }
}

void DefinitionReader::setBackgroundColor(BitReader &in)
{
    if (!m_haveBackground) // the first one counts; later ones are ignored
        m_movie.background = in.rgb();
    m_haveBackground = true;
}

void DefinitionReader::defineShape(BitReader &in, int version)
{
    const std::uint16_t id = in.u16();
    Shape shape;
    shape.bounds = in.rect();
    bool winding = false;
    if (version == 4) {
        in.rect(); // edge bounds
        winding = (in.u8() & 0x04) != 0;
    }
    std::vector<StyleSet> sets{readStyles(in, version)};
    auto records = readShapeRecords(in, version, sets);
    shape.geometry = buildGeometry(records, sets, winding);
    define(id, std::move(shape));
}

void DefinitionReader::defineMorphShape(BitReader &in, int version)
{
    const std::uint16_t id = in.u16();
    define(id, readMorphShape(in, version));
}

void DefinitionReader::defineBitmap(TagCode code, BitReader &in)
{
    const std::uint16_t id = in.u16();
    if (m_bitmapPixels >= kMaxMovieBitmapPixels)
        throw BadTag("the movie's bitmaps exceed their budget");
    QImage image = decodeBitmapTag(code, in.rest(), m_jpegTables);
    m_bitmapPixels += static_cast<std::int64_t>(image.width()) * image.height();
    if (m_bitmapPixels > kMaxMovieBitmapPixels)
        throw BadTag("the movie's bitmaps exceed their budget");
    define(id, Bitmap{std::move(image)});
}

void DefinitionReader::defineFont(BitReader &in)
{
    const std::uint16_t id = in.u16();
    const auto table = in.rest();
    BitReader offsets(table);
    const std::size_t count =
        table.size() >= 2 ? static_cast<std::size_t>(table[0] | (table[1] << 8)) / 2 : 0;
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < count; ++i)
        starts.push_back(offsets.u16());
    starts.push_back(table.size());
    Font font;
    readGlyphs(table, starts, font);
    define(id, std::move(font));
}

void DefinitionReader::defineFont2(BitReader &in, bool v3)
{
    const std::uint16_t id = in.u16();
    const int flags = in.u8();
    in.u8(); // language
    Font font;
    font.name = readName(in);
    font.bold = flags & FontBold;
    font.italic = flags & FontItalic;
    const std::size_t count = in.u16();
    font.emSquare = v3 ? 20480 : 1024;
    const bool wideOffsets = flags & FontWideOffsets, wideCodes = flags & FontWideCodes;
    const auto table = in.rest();
    std::vector<std::size_t> starts;
    // The last offset is the code table's; device fonts without glyphs may leave it out.
    if (count > 0 || in.remaining() >= (wideOffsets ? 4u : 2u)) {
        for (std::size_t i = 0; i <= count; ++i)
            starts.push_back(wideOffsets ? in.u32() : in.u16());
    } else {
        starts.push_back(0);
    }
    readGlyphs(table, starts, font);
    BitReader rest(table.subspan(std::min(starts[count], table.size())));
    try {
        for (std::size_t i = 0; i < count; ++i)
            font.codes.push_back(wideCodes ? rest.u16() : rest.u8());
        if (flags & FontHasLayout) {
            font.ascent = rest.u16();
            font.descent = rest.u16();
            font.leading = rest.s16();
            for (std::size_t i = 0; i < count; ++i)
                font.advances.push_back(rest.s16());
            for (std::size_t i = 0; i < count; ++i)
                rest.rect();
            const int pairs = rest.u16();
            for (int i = 0; i < pairs; ++i) {
                const std::uint16_t a = wideCodes ? rest.u16() : rest.u8();
                const std::uint16_t b = wideCodes ? rest.u16() : rest.u8();
                font.kerning[{a, b}] = rest.s16();
            }
        }
    } catch (const TruncatedData &) {
        // Codes and layout only serve edit text; the glyphs are what counts.
    }
    define(id, std::move(font));
}

// The name, style and character codes of a DefineFont's glyphs: what edit text and
// device text need.
void DefinitionReader::defineFontInfo(BitReader &in, bool v2)
{
    const std::uint16_t id = in.u16();
    auto it = m_movie.characters.find(id);
    if (it == m_movie.characters.end() || !std::holds_alternative<Font>(it->second))
        return;
    Font &font = std::get<Font>(it->second);
    font.name = readName(in);
    const int flags = in.u8();
    font.bold = flags & InfoBold;
    font.italic = flags & InfoItalic;
    if (v2)
        in.u8(); // language
    const bool wideCodes = v2 || (flags & InfoWideCodes);
    // A device font may come without glyphs: then the codes run to the tag's end.
    const std::size_t count = font.glyphs.empty() ? in.remaining() / (wideCodes ? 2 : 1) : font.glyphs.size();
    font.codes.clear();
    for (std::size_t i = 0; i < count && !in.atEnd(); ++i)
        font.codes.push_back(wideCodes ? in.u16() : in.u8());
}

void DefinitionReader::defineText(BitReader &in, bool v2)
{
    const std::uint16_t id = in.u16();
    StaticText text;
    text.bounds = in.rect();
    text.matrix = in.matrix();
    const int glyphBits = in.u8(), advanceBits = in.u8();
    if (glyphBits > 32 || advanceBits > 32)
        throw BadTag("glyph field wider than 32 bits");
    TextRecord state; // font, colour, position and height carry over between records
    for (;;) {
        const int flags = in.u8();
        if (flags == 0)
            break;
        if (flags & 0x08)
            state.fontId = in.u16();
        if (flags & 0x04)
            state.color = v2 ? in.rgba() : in.rgb();
        if (flags & 0x01)
            state.x = in.s16();
        if (flags & 0x02)
            state.y = in.s16();
        if (flags & 0x08)
            state.height = in.u16();
        const int count = in.u8();
        TextRecord record = state;
        record.glyphs.clear();
        for (int i = 0; i < count; ++i) {
            TextGlyph g;
            g.index = in.bits(glyphBits);
            g.advance = in.sbits(advanceBits);
            record.glyphs.push_back(g);
            state.x = addTwips(state.x, g.advance);
        }
        in.align();
        text.records.push_back(std::move(record));
    }
    define(id, std::move(text));
}

void DefinitionReader::defineEditText(BitReader &in)
{
    const std::uint16_t id = in.u16();
    EditText t;
    t.bounds = in.rect();
    const int f1 = in.u8(), f2 = in.u8();
    t.wordWrap = f1 & 0x40;
    t.multiline = f1 & 0x20;
    t.html = f2 & 0x02;
    t.useOutlines = f2 & 0x01;
    if (f1 & 0x01)
        t.fontId = in.u16();
    if (f2 & 0x80)
        in.string(); // font class
    if (f1 & 0x01)
        t.height = in.u16();
    if (f1 & 0x04)
        t.color = in.rgba();
    if (f1 & 0x02)
        in.u16(); // max length
    if (f2 & 0x20) {
        t.align = in.u8();
        t.leftMargin = in.u16();
        t.rightMargin = in.u16();
        t.indent = in.u16();
        t.leading = in.s16();
    }
    in.string(); // variable name
    if (f1 & 0x80)
        t.text = in.string();
    define(id, std::move(t));
}

// DefineButton: the records, then one action list run on release over the button.
void DefinitionReader::defineButton(BitReader &in)
{
    const std::uint16_t id = in.u16();
    Button button;
    button.records = readButtonRecords(in, false);
    button.actions.push_back({OverDownToOverUp, readActionBlock(in.rest())});
    define(id, std::move(button));
}

// DefineButton2: the records, then condition action records, each sized by its own
// first field (0 in the last one).
void DefinitionReader::defineButton2(BitReader &in)
{
    const std::uint16_t id = in.u16();
    Button button;
    button.trackAsMenu = in.u8() & 0x01;
    const std::size_t base = in.position();
    const std::size_t actionOffset = in.u16();
    button.records = readButtonRecords(in, true);
    if (actionOffset != 0) {
        BitReader all(in.rest());
        const std::size_t skip =
            base + actionOffset > in.position() ? base + actionOffset - in.position() : 0;
        all.skip(std::min(skip, all.remaining()));
        for (;;) {
            const std::size_t size = all.u16();
            ButtonActions entry;
            entry.conditions = all.u16();
            const std::size_t bodySize = size >= 4 ? size - 4 : all.remaining();
            const auto body = all.bytes(std::min(bodySize, all.remaining()));
            if (entry.conditions & OverDownToOverUp) {
                entry.actions = readActionBlock(body); // a click action cut short spoils the button
            } else {
                try {
                    entry.actions = readActionBlock(body);
                } catch (const TruncatedData &) {
                    entry.actions.bytes.assign(body.begin(), body.end());
                }
            }
            button.actions.push_back(std::move(entry));
            if (size == 0)
                break;
        }
    }
    define(id, std::move(button));
}

void DefinitionReader::defineButtonCxform(BitReader &in)
{
    const std::uint16_t id = in.u16();
    auto it = m_movie.characters.find(id);
    if (it == m_movie.characters.end() || !std::holds_alternative<Button>(it->second))
        return;
    // One colour transform per record, in record order, for as many as the tag
    // holds (usually one: the first record's).
    for (ButtonRecord &r : std::get<Button>(it->second).records) {
        if (in.atEnd())
            break;
        r.colorTransform = in.colorTransform(false);
    }
}

} // namespace velmora::swf
