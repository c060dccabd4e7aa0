// The parsed movie: header, characters by id and the root timeline as lists of
// display-list commands per frame. Immutable once loaded; players share it.
#pragma once

#include "controls/swf/sound/sound.h"
#include "controls/swf/swfcodes.h"
#include "controls/swf/types.h"

#include <QImage>

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace velmora::swf {

struct Shape {
    TwipsRect bounds;
    ShapeGeometry geometry;
};

// Start and end records of a morph shape; the geometry for a ratio is built on demand.
struct MorphShape {
    std::vector<ShapeRecord> startRecords, endRecords;
    std::vector<std::pair<FillStyle, FillStyle>> fills;
    std::vector<std::pair<LineStyle, LineStyle>> lines;
};

struct Bitmap {
    QImage image; // ARGB32 premultiplied
};

struct Font {
    std::vector<ShapeGeometry> glyphs;
    std::vector<std::uint16_t> codes;
    std::vector<std::int16_t> advances; // font units, empty without layout
    std::map<std::pair<std::uint16_t, std::uint16_t>, std::int16_t> kerning; // code pair to font units
    double emSquare = 1024;
    double ascent = 0, descent = 0, leading = 0; // font units
    // The system font asked for: as stored, UTF-8 from version 6 and the author's
    // code page before.
    std::string name;
    bool bold = false, italic = false;
    // Without any glyph outline the text is drawn with a system font of this name.
    bool hasOutlines() const
    {
        for (const ShapeGeometry &glyph : glyphs) {
            for (const auto &layer : glyph.layers) {
                for (const auto &fill : layer.fills) {
                    if (!fill.contours.empty())
                        return true;
                }
            }
        }
        return false;
    }
};

struct TextGlyph {
    std::uint32_t index = 0;
    std::int32_t advance = 0;
};

struct TextRecord {
    std::uint16_t fontId = 0;
    Rgba color;
    std::int32_t x = 0, y = 0, height = 0; // twips
    std::vector<TextGlyph> glyphs;
};

struct StaticText {
    TwipsRect bounds;
    Matrix matrix;
    std::vector<TextRecord> records;
};

struct EditText {
    TwipsRect bounds;
    std::uint16_t fontId = 0;
    std::uint16_t height = 0;
    Rgba color;
    int align = 0; // 0 left, 1 right, 2 centre, 3 justify
    std::int32_t leftMargin = 0, rightMargin = 0, indent = 0, leading = 0;
    bool useOutlines = false, multiline = false, wordWrap = false, html = false;
    std::string text;
    // A system font draws the field unless it uses the outlines of an embedded font.
    bool drawsWithDeviceFont(const Font *font) const { return !font || !useOutlines || !font->hasOutlines(); }
};

enum class ActionOp { Stop, Play, GotoFrame, GotoLabel, NextFrame, PrevFrame, StopSounds };
struct Action {
    ActionOp op = ActionOp::Stop;
    int frame = 0; // 0-based, for GotoFrame
    std::string label;
};

// One list of action records as the movie stores it (the bytes of a DoAction tag
// after its header, or of one button or clip event), and the frame controls among
// them that the timeline carries out.
struct ActionBlock {
    std::vector<std::uint8_t> bytes;
    std::vector<Action> simple;
    // DoAction: how many of the frame's place commands come before it (scripts
    // run in tag order, after the objects placed before them).
    std::size_t commandsBefore = 0;
};

// Actions a DoInitAction tag runs once, before the first frame that holds it,
// for the sprite it names.
struct InitActions {
    std::uint16_t spriteId = 0;
    ActionBlock actions;
};

// Actions a placed sprite runs on clip events; `events` holds the event flags as
// stored (16 bits before version 6, 32 from then on).
struct ClipActions {
    std::uint32_t events = 0;
    std::uint8_t keyCode = 0; // with the key-press event
    ActionBlock actions;
};

// Actions a button runs on the state transitions named by `conditions`
// (ButtonCondition flags; a key code in the top seven bits).
struct ButtonActions {
    std::uint16_t conditions = 0;
    ActionBlock actions;
};

// One entry of a filter list. Sizes are in stage pixels, the angle in radians.
// Shadows, glows and bevels work on the object's blurred alpha; `color` is the
// shadow or glow colour (a bevel's shadow, a convolution's colour beyond the edges).
struct Filter {
    FilterId kind = FilterId::ColorMatrix;
    std::array<float, 20> matrix{}; // rows for R, G, B, A of (r, g, b, a, offset), 0..255
    Rgba color;
    Rgba highlight;                     // bevel
    std::vector<GradientStop> gradient; // gradient glow and bevel
    double blurX = 0, blurY = 0;
    double angle = 0, distance = 0;
    double strength = 1;
    bool inner = false, knockout = false, hideObject = false, onTop = false;
    int passes = 1;
    int columns = 0, rows = 0; // convolution
    std::vector<float> kernel; // rows × columns, row by row
    float divisor = 1, bias = 0;
    bool clamp = true, preserveAlpha = false;
    friend bool operator==(const Filter &, const Filter &) = default;
};

struct PlaceCommand {
    enum class Kind { Place, Remove };
    Kind kind = Kind::Place;
    int depth = 0;
    bool move = false;
    std::optional<std::uint16_t> characterId;
    std::optional<Matrix> matrix;
    std::optional<ColorTransform> colorTransform;
    std::optional<std::uint16_t> ratio;
    std::optional<int> clipDepth;
    std::optional<bool> visible;
    std::optional<BlendMode> blendMode;
    std::optional<std::vector<Filter>> filters;
    std::optional<Rgba> opaqueBackground;
    std::string name;
    std::vector<ClipActions> clipActions;
};

struct Frame {
    std::vector<PlaceCommand> commands;
    std::vector<ActionBlock> actions;     // one per DoAction tag, in tag order
    std::vector<InitActions> initActions; // root timeline only
    std::vector<StartSound> sounds;
    std::string label;
};

// Frames past the end of `frames` exist but hold nothing (a long, empty tail is not
// stored, so a hostile frame count costs no memory).
struct Timeline {
    std::vector<Frame> frames;
    int frameCount = 1;
    std::optional<StreamSound> stream;

    const Frame *frame(int index) const
    {
        return index >= 0 && index < static_cast<int>(frames.size())
                   ? &frames[static_cast<std::size_t>(index)]
                   : nullptr;
    }
    int findLabel(const std::string &label) const;
};

struct Sprite {
    Timeline timeline;
    std::uint32_t byteLength = 0; // its tags as stored, what a clip reports as its size
};

struct ButtonRecord {
    enum State : std::uint8_t { Up = 1, Over = 2, Down = 4, Hit = 8 };
    std::uint8_t states = 0;
    std::uint16_t characterId = 0;
    int depth = 0;
    Matrix matrix;
    ColorTransform colorTransform;
    BlendMode blendMode = BlendMode::Normal;
    std::vector<Filter> filters;
};

struct Button {
    std::vector<ButtonRecord> records;
    std::vector<ButtonActions> actions;
    bool trackAsMenu = false;
    ButtonSounds sounds;
};

using Character = std::variant<Shape, MorphShape, Bitmap, Font, StaticText, EditText, Sprite, Button>;

struct MovieHeader {
    int version = 0;
    TwipsRect frameRect;
    double frameRate = 0;
    int frameCount = 0;
};

class Movie {
public:
    MovieHeader header;
    Rgba background{255, 255, 255, 255};
    Timeline root;
    std::map<std::uint16_t, Character> characters;
    std::map<std::uint16_t, SoundDefinition> sounds;
    // ExportAssets' and SymbolClass' names of characters and sounds (StartSound2, scripts).
    std::map<std::string, std::uint16_t> exportedNames;
    // Problems met while reading that did not stop it (a truncated stream, a bad tag).
    std::vector<std::string> warnings;
    // Tag codes per root frame, for the info tool.
    std::vector<std::vector<int>> tagsPerFrame;
    // ScriptLimits: 0 where the movie sets none.
    struct ScriptLimits {
        int maxRecursion = 0;
        int timeoutSeconds = 0;
    } scriptLimits;
    std::uint32_t fileLength = 0; // as the header states, uncompressed

    template <typename T> const T *find(std::uint16_t id) const
    {
        auto it = characters.find(id);
        return it == characters.end() ? nullptr : std::get_if<T>(&it->second);
    }
};

} // namespace velmora::swf
