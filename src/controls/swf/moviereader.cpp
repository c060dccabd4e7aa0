#include "controls/swf/moviereader.h"

#include "controls/swf/bitmapdecoder.h"
#include "controls/swf/bitreader.h"
#include "controls/swf/shapereader.h"
#include "controls/swf/sound/soundtags.h"
#include "controls/swf/swfcodes.h"

#include <cmath>
#include <cstring>

namespace velmora::swf {

int Timeline::findLabel(const std::string &label) const
{
    for (std::size_t i = 0; i < frames.size(); ++i) {
        if (frames[i].label.size() == label.size() &&
            std::equal(label.begin(), label.end(), frames[i].label.begin(),
                       [](char a, char b) { return std::tolower(a) == std::tolower(b); }))
            return static_cast<int>(i);
    }
    return -1;
}

namespace {

struct BadTag : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Reads the actions this player carries out; the others are skipped by length.
std::vector<Action> readActions(BitReader &in)
{
    std::vector<Action> actions;
    while (!in.atEnd()) {
        const std::uint8_t code = in.u8();
        if (code == raw(ActionCode::End))
            break;
        std::size_t length = code >= kFirstActionWithBody ? in.u16() : 0;
        BitReader body(in.bytes(std::min(length, in.remaining())));
        switch (static_cast<ActionCode>(code)) {
        case ActionCode::NextFrame:
            actions.push_back({ActionOp::NextFrame, 0, {}});
            break;
        case ActionCode::PreviousFrame:
            actions.push_back({ActionOp::PrevFrame, 0, {}});
            break;
        case ActionCode::Play:
            actions.push_back({ActionOp::Play, 0, {}});
            break;
        case ActionCode::Stop:
            actions.push_back({ActionOp::Stop, 0, {}});
            break;
        case ActionCode::GotoFrame:
            actions.push_back({ActionOp::GotoFrame, body.u16(), {}});
            break;
        case ActionCode::GotoLabel:
            actions.push_back({ActionOp::GotoLabel, 0, body.string()});
            break;
        default:
            break;
        }
    }
    return actions;
}

// Reads a filter list; colour matrices are kept, the other filters read past.
std::vector<Filter> readFilters(BitReader &in)
{
    std::vector<Filter> matrices;
    int count = in.u8();
    for (int i = 0; i < count; ++i) {
        switch (static_cast<FilterId>(in.u8())) {
        case FilterId::DropShadow:
            in.skip(23);
            break;
        case FilterId::Blur:
            in.skip(9);
            break;
        case FilterId::Glow: {
            Filter glow;
            glow.kind = Filter::Kind::Glow;
            glow.color = in.rgba();
            glow.blurX = std::clamp(static_cast<std::int32_t>(in.u32()) / 65536.0, 0.0, 255.0);
            glow.blurY = std::clamp(static_cast<std::int32_t>(in.u32()) / 65536.0, 0.0, 255.0);
            glow.strength = std::clamp(in.fixed8(), 0.0, 255.0);
            const int flags = in.u8();
            glow.inner = flags & 0x80;
            glow.knockout = flags & 0x40;
            glow.passes = std::clamp(flags & 0x1F, 1, 15);
            matrices.push_back(glow);
            break;
        }
        case FilterId::Bevel:
            in.skip(27);
            break;
        case FilterId::GradientGlow:
        case FilterId::GradientBevel:
            in.skip(static_cast<std::size_t>(in.u8()) * 5 + 19);
            break;
        case FilterId::Convolution: {
            std::size_t x = in.u8(), y = in.u8();
            in.skip(8 + 4 * x * y + 5);
            break;
        }
        case FilterId::ColorMatrix: {
            Filter cm;
            for (float &v : cm.m) {
                const std::uint32_t bits = in.u32();
                std::memcpy(&v, &bits, sizeof v);
                if (!std::isfinite(v))
                    v = 0;
            }
            matrices.push_back(cm);
            break;
        }
        default:
            throw BadTag("unknown filter");
        }
    }
    return matrices;
}

BlendMode blendMode(int value)
{
    return value > raw(BlendMode::Normal) && value <= raw(BlendMode::HardLight)
               ? static_cast<BlendMode>(value)
               : BlendMode::Normal;
}

class TagReader {
public:
    explicit TagReader(Movie &movie) : m_movie(movie) {}

    void readTimeline(BitReader &in, Timeline &timeline, int declaredFrames, bool root)
    {
        Frame frame;
        std::vector<int> tags;
        while (!in.atEnd()) {
            // Frame numbers are 16-bit, and a movie of nothing but tiny tags (a
            // compressed bomb) must not grow the model without end.
            if (timeline.frames.size() >= kMaxFrames || ++m_tagCount > kMaxTags) {
                m_movie.warnings.push_back("too many frames or tags; the rest is ignored");
                break;
            }
            int code = 0;
            std::size_t length = 0;
            try {
                std::uint16_t header = in.u16();
                code = header >> 6;
                length = header & 0x3F;
                if (length == 0x3F)
                    length = in.u32();
            } catch (const TruncatedData &) {
                break;
            }
            if (length > in.remaining()) {
                m_movie.warnings.push_back("tag " + std::to_string(code) + " runs past the end of the data");
                length = in.remaining();
            }
            BitReader body(in.bytes(length));
            const auto tag = static_cast<TagCode>(code);
            if (tag == TagCode::End)
                break;
            if (root)
                tags.push_back(code);
            if (tag == TagCode::ShowFrame) {
                timeline.frames.push_back(std::move(frame));
                frame = {};
                if (root) {
                    m_movie.tagsPerFrame.push_back(std::move(tags));
                    tags.clear();
                }
                continue;
            }
            try {
                if (!readSoundTag(tag, body, m_movie, timeline, frame, root))
                    readTag(tag, body, frame, root);
            } catch (const std::exception &e) {
                m_movie.warnings.push_back("tag " + std::to_string(code) + ": " + e.what());
            }
        }
        if (!frame.commands.empty() || !frame.actions.empty() || !frame.sounds.empty())
            timeline.frames.push_back(
                std::move(frame)); // a stream that ends early still shows its last frame
        if (root && !tags.empty())
            m_movie.tagsPerFrame.push_back(std::move(tags));
        timeline.frameCount =
            declaredFrames > 0 ? declaredFrames : std::max<int>(1, static_cast<int>(timeline.frames.size()));
        if (static_cast<int>(timeline.frames.size()) > timeline.frameCount)
            timeline.frames.resize(static_cast<std::size_t>(timeline.frameCount));
    }

private:
    void define(std::uint16_t id, Character c) { m_movie.characters.insert_or_assign(id, std::move(c)); }

    void readTag(TagCode code, BitReader &in, Frame &frame, bool root)
    {
        switch (code) {
        case TagCode::PlaceObject: {
            PlaceCommand c;
            c.characterId = in.u16();
            c.depth = in.u16();
            c.matrix = in.matrix();
            if (!in.atEnd())
                c.colorTransform = in.colorTransform(false);
            frame.commands.push_back(std::move(c));
            return;
        }
        case TagCode::PlaceObject2:
        case TagCode::PlaceObject3:
            frame.commands.push_back(readPlace(in, code == TagCode::PlaceObject3));
            return;
        case TagCode::RemoveObject:
        case TagCode::RemoveObject2: {
            PlaceCommand c;
            c.kind = PlaceCommand::Kind::Remove;
            if (code == TagCode::RemoveObject)
                c.characterId = in.u16();
            c.depth = in.u16();
            frame.commands.push_back(std::move(c));
            return;
        }
        case TagCode::DoAction: {
            if (m_as3)
                return; // such movies run their code elsewhere; these tags are inert
            auto actions = readActions(in);
            frame.actions.insert(frame.actions.end(), actions.begin(), actions.end());
            return;
        }
        case TagCode::FrameLabel:
            frame.label = in.string();
            return;
        default:
            break;
        }
        if (!root)
            return; // definitions only count on the root timeline
        switch (code) {
        case TagCode::SetBackgroundColor:
            if (!m_haveBackground) // the first one counts; later ones are ignored
                m_movie.background = in.rgb();
            m_haveBackground = true;
            return;
        case TagCode::FileAttributes:
            m_as3 = (in.u8() & 0x08) != 0;
            return;
        case TagCode::DefineShape:
            readShape(in, 1);
            return;
        case TagCode::DefineShape2:
            readShape(in, 2);
            return;
        case TagCode::DefineShape3:
            readShape(in, 3);
            return;
        case TagCode::DefineShape4:
            readShape(in, 4);
            return;
        case TagCode::DefineMorphShape:
        case TagCode::DefineMorphShape2: {
            std::uint16_t id = in.u16();
            define(id, readMorphShape(in, code == TagCode::DefineMorphShape ? 1 : 2));
            return;
        }
        case TagCode::JPEGTables:
            m_jpegTables.assign(in.rest().begin(), in.rest().end());
            return;
        case TagCode::DefineBits: {
            std::uint16_t id = in.u16();
            defineBitmap(id, decodeJpegPayload(in.rest(), m_jpegTables));
            return;
        }
        case TagCode::DefineBitsJPEG2: {
            std::uint16_t id = in.u16();
            defineBitmap(id, decodeJpegPayload(in.rest()));
            return;
        }
        case TagCode::DefineBitsJPEG3:
        case TagCode::DefineBitsJPEG4: {
            std::uint16_t id = in.u16();
            std::uint32_t alphaOffset = in.u32();
            if (code == TagCode::DefineBitsJPEG4)
                in.u16(); // deblocking
            auto data = in.bytes(std::min<std::size_t>(alphaOffset, in.remaining()));
            QImage image = decodeJpegPayload(data);
            bool isJpeg = data.size() > 1 && data[0] == 0xFF;
            defineBitmap(id, isJpeg ? applyJpegAlpha(image, in.rest()) : image);
            return;
        }
        case TagCode::DefineBitsLossless:
        case TagCode::DefineBitsLossless2: {
            std::uint16_t id = in.u16();
            std::string error;
            QImage image = decodeLossless(in.rest(), code == TagCode::DefineBitsLossless2, error);
            if (image.isNull())
                throw BadTag(error);
            defineBitmap(id, image);
            return;
        }
        case TagCode::DefineFont:
            readFont1(in);
            return;
        case TagCode::DefineFont2:
        case TagCode::DefineFont3:
            readFont2(in, code == TagCode::DefineFont3);
            return;
        case TagCode::DefineText:
        case TagCode::DefineText2:
            readText(in, code == TagCode::DefineText2);
            return;
        case TagCode::DefineEditText:
            readEditText(in);
            return;
        case TagCode::DefineSprite: {
            std::uint16_t id = in.u16();
            int frames = in.u16();
            Sprite sprite;
            readTimeline(in, sprite.timeline, frames, false);
            define(id, std::move(sprite));
            return;
        }
        case TagCode::DefineButton:
        case TagCode::DefineButton2:
            readButton(in, code == TagCode::DefineButton2);
            return;
        case TagCode::DefineButtonCxform: {
            std::uint16_t id = in.u16();
            auto it = m_movie.characters.find(id);
            if (it == m_movie.characters.end() || !std::holds_alternative<Button>(it->second))
                return;
            // One colour transform per record, in record order, for as many as the
            // tag holds (usually one: the first record's).
            for (ButtonRecord &r : std::get<Button>(it->second).records) {
                if (in.atEnd())
                    break;
                r.colorTransform = in.colorTransform(false);
            }
            return;
        }
        default:
            return; // metadata, scripts for another runtime: not needed to draw
        }
    }

    PlaceCommand readPlace(BitReader &in, bool v3)
    {
        PlaceCommand c;
        int flags = in.u8();
        int flags2 = v3 ? in.u8() : 0;
        c.depth = in.u16();
        if (v3 && ((flags2 & 0x08) || ((flags2 & 0x10) && (flags & 0x02))))
            in.string(); // class name
        c.move = flags & 0x01;
        if (flags & 0x02)
            c.characterId = in.u16();
        if (flags & 0x04)
            c.matrix = in.matrix();
        if (flags & 0x08)
            c.colorTransform = in.colorTransform(true);
        if (flags & 0x10)
            c.ratio = in.u16();
        if (flags & 0x20)
            c.name = in.string();
        if (flags & 0x40)
            c.clipDepth = in.u16();
        if (v3) {
            try {
                if (flags2 & 0x01)
                    c.filters = readFilters(in);
                if (flags2 & 0x02)
                    c.blendMode = blendMode(in.u8());
                if (flags2 & 0x04)
                    in.u8(); // bitmap caching
                if (flags2 & 0x20)
                    c.visible = in.u8() != 0;
            } catch (const std::exception &) {
                // Trailing display options that are cut short do not spoil the placement.
            }
        }
        return c;
    }

    void readShape(BitReader &in, int version)
    {
        std::uint16_t id = in.u16();
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

    void defineBitmap(std::uint16_t id, QImage image)
    {
        if (image.isNull())
            throw BadTag("the bitmap could not be decoded");
        define(id, Bitmap{std::move(image)});
    }

    static ShapeGeometry glyph(BitReader &in)
    {
        std::vector<StyleSet> sets(1);
        sets[0].fills.resize(1);
        auto records = readShapeRecords(in, 1, sets);
        return buildGeometry(records, sets, true);
    }

    void readFont1(BitReader &in)
    {
        std::uint16_t id = in.u16();
        auto table = in.rest();
        Font font;
        BitReader offsets(table);
        std::size_t count = table.size() >= 2 ? static_cast<std::size_t>(table[0] | (table[1] << 8)) / 2 : 0;
        std::vector<std::size_t> starts;
        for (std::size_t i = 0; i < count; ++i)
            starts.push_back(offsets.u16());
        starts.push_back(table.size());
        for (std::size_t i = 0; i < count; ++i) {
            std::size_t begin = starts[i], end = starts[i + 1];
            if (begin > end || end > table.size())
                throw BadTag("glyph offset outside the font");
            BitReader g(table.subspan(begin, end - begin));
            font.glyphs.push_back(glyph(g));
        }
        define(id, std::move(font));
    }

    void readFont2(BitReader &in, bool v3)
    {
        std::uint16_t id = in.u16();
        int flags = in.u8();
        in.u8();           // language
        in.bytes(in.u8()); // name
        std::size_t count = in.u16();
        Font font;
        font.emSquare = v3 ? 20480 : 1024;
        const bool wideOffsets = flags & 0x08, wideCodes = flags & 0x04;
        auto table = in.rest();
        std::vector<std::size_t> starts;
        for (std::size_t i = 0; i <= count; ++i) // the last one is the code table's offset
            starts.push_back(wideOffsets ? in.u32() : in.u16());
        for (std::size_t i = 0; i < count; ++i) {
            std::size_t begin = starts[i], end = starts[i + 1];
            if (begin > end || end > table.size())
                throw BadTag("glyph offset outside the font");
            BitReader g(table.subspan(begin, end - begin));
            font.glyphs.push_back(glyph(g));
        }
        BitReader rest(table.subspan(std::min(starts[count], table.size())));
        try {
            for (std::size_t i = 0; i < count; ++i)
                font.codes.push_back(wideCodes ? rest.u16() : rest.u8());
            if (flags & 0x80) {
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

    void readText(BitReader &in, bool v2)
    {
        std::uint16_t id = in.u16();
        StaticText text;
        text.bounds = in.rect();
        text.matrix = in.matrix();
        int glyphBits = in.u8(), advanceBits = in.u8();
        if (glyphBits > 32 || advanceBits > 32)
            throw BadTag("glyph field wider than 32 bits");
        TextRecord state; // font, colour, position and height carry over between records
        for (;;) {
            int flags = in.u8();
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
            int count = in.u8();
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

    void readEditText(BitReader &in)
    {
        std::uint16_t id = in.u16();
        EditText t;
        t.bounds = in.rect();
        int f1 = in.u8(), f2 = in.u8();
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

    void readButton(BitReader &in, bool v2)
    {
        std::uint16_t id = in.u16();
        Button button;
        std::size_t actionOffset = 0;
        std::size_t base = 0;
        if (v2) {
            button.trackAsMenu = in.u8() & 0x01;
            base = in.position();
            actionOffset = in.u16();
        }
        for (;;) {
            int flags = in.u8();
            if (flags == 0)
                break;
            ButtonRecord r;
            r.states = static_cast<std::uint8_t>(flags & 0x0F);
            r.characterId = in.u16();
            r.depth = in.u16();
            r.matrix = in.matrix();
            if (v2) {
                r.colorTransform = in.colorTransform(true);
                if (flags & 0x10)
                    r.filters = readFilters(in);
                if (flags & 0x20)
                    r.blendMode = blendMode(in.u8());
            }
            button.records.push_back(r);
        }
        if (!v2) {
            button.clickActions = readActions(in);
        } else if (actionOffset != 0) {
            BitReader all(in.rest());
            std::size_t skip = base + actionOffset > in.position() ? base + actionOffset - in.position() : 0;
            all.skip(std::min(skip, all.remaining()));
            for (;;) {
                std::size_t size = all.u16();
                int conditions = all.u16();
                std::size_t bodySize = size >= 4 ? size - 4 : all.remaining();
                BitReader body(all.bytes(std::min(bodySize, all.remaining())));
                if (conditions & 0x08) { // over-down to over-up: the click
                    auto actions = readActions(body);
                    button.clickActions.insert(button.clickActions.end(), actions.begin(), actions.end());
                }
                if (size == 0)
                    break;
            }
        }
        define(id, std::move(button));
    }

    Movie &m_movie;
    std::vector<std::uint8_t> m_jpegTables;
    bool m_as3 = false;
    std::size_t m_tagCount = 0;
    static constexpr std::size_t kMaxFrames = 65535;
    static constexpr std::size_t kMaxTags = 500000;
    bool m_haveBackground = false;
};

} // namespace

Result<std::shared_ptr<Movie>> readMovie(std::span<const std::uint8_t> file)
{
    Result<MovieBody> body = decompressMovie(file);
    if (!body)
        return body.error();
    auto movie = std::make_shared<Movie>();
    movie->header.version = body->version;
    BitReader in(body->bytes);
    try {
        movie->header.frameRect = in.rect();
        int fraction = in.u8();
        movie->header.frameRate = in.u8() + fraction / 256.0;
        movie->header.frameCount = in.u16();
    } catch (const TruncatedData &) {
        return Error(6, "SWF: the movie header ends early");
    }
    if (body->bytes.size() + 8 < body->declaredLength)
        movie->warnings.push_back("the movie is shorter than its header says");
    TagReader(*movie).readTimeline(in, movie->root, movie->header.frameCount, true);
    return movie;
}

} // namespace velmora::swf
