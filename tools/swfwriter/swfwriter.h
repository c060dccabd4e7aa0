// Builds small movie files (FWS/CWS) from vector shapes: the book's button movies and test
// fixtures for the player. Same input, same bytes: nothing depends on time or addresses.
//
//   MovieBuilder movie(QSize(52, 52));                       // stage in pixels
//   const quint16 disc = movie.defineShape(circlePath, Fill::solid(Qt::red));
//   movie.placeObject(1, disc);
//   movie.showFrame();
//   movie.save("disc.swf").check();
//
// All geometry is in twips (20 to the pixel) unless a name says otherwise.
#pragma once

#include "bitwriter.h"
#include "common/result.h"
#include "controls/swf/swfcodes.h"
#include "controls/swf/types.h"

#include <QByteArray>
#include <QColor>
#include <QGradientStops>
#include <QList>
#include <QPainterPath>
#include <QRect>
#include <QTransform>

#include <optional>

class QFont;

namespace velmora::swfwriter {

// The movie's twips, as whole numbers for the writer's integer geometry.
constexpr int kTwipsPerPixel = static_cast<int>(swf::kTwipsPerPixel);

using swf::TagCode;

enum class Compression { None, Zlib }; // "FWS" or "CWS"

// A fill style: a solid colour or a gradient laid out in shape coordinates (twips).
struct Fill {
    enum class Type { Solid, Linear, Radial };
    enum class Spread { Pad, Reflect, Repeat };
    Type type = Type::Solid;
    QColor color = Qt::black;  // Solid only
    QGradientStops stops;      // gradients: positions 0..1, at most 15 stops
    QTransform gradientMatrix; // maps the gradient square (-16384..16384) into the shape
    Spread spread = Spread::Pad;

    static Fill solid(const QColor &color);
    // Colour runs from `start` (position 0) to `end` (position 1).
    static Fill linear(QPointF start, QPointF end, const QGradientStops &stops);
    static Fill radial(QPointF centre, qreal radius, const QGradientStops &stops);
    bool hasAlpha() const;
};

struct LineStyle {
    quint16 widthTwips = 20;
    QColor color = Qt::black;
};

// One layer of a shape: its outline filled and/or stroked. Later layers are drawn on top.
struct ShapeLayer {
    QPainterPath path; // twips
    std::optional<Fill> fill;
    std::optional<LineStyle> line;
};

enum class ShapeVersion {
    Auto,   // DefineShape3 when a colour has alpha; DefineShape2 for several layers; else DefineShape
    Shape1, // DefineShape: RGB colours, one layer
    Shape2, // DefineShape2: RGB colours
    Shape3, // DefineShape3: RGBA colours
};

// Colour transform with alpha: channel' = clamp(channel * mult + add), mult 1.0 = unchanged.
struct ColorTransform {
    qreal redMult = 1, greenMult = 1, blueMult = 1, alphaMult = 1;
    int redAdd = 0, greenAdd = 0, blueAdd = 0, alphaAdd = 0;
    bool isIdentity() const;
    static ColorTransform alpha(qreal alphaMult);
};

// What PlaceObject2 carries besides the depth; unset fields are left out of the tag.
struct Placement {
    std::optional<QTransform> matrix; // translation in twips
    std::optional<ColorTransform> colorTransform;
    std::optional<quint16> ratio;
    std::optional<quint16> clipDepth;
    QString name;
};

// One character shown by a button in the given states (DefineButton2 records).
struct ButtonRecord {
    enum State : quint8 { Up = 1, Over = 2, Down = 4, HitTest = 8 };
    quint8 states = Up;
    quint16 characterId = 0;
    quint16 depth = 1;
    QTransform matrix;
    ColorTransform colorTransform;
};

// A list of control tags frame by frame: the main timeline of a movie or a sprite's own.
class Timeline {
public:
    void placeObject(quint16 depth, quint16 characterId, const Placement &placement = {});
    // Changes the object already at `depth` (PlaceObject2 with the move flag, no character).
    void moveObject(quint16 depth, const Placement &placement);
    // Puts `characterId` in place of the object at `depth`, keeping the instance.
    void replaceObject(quint16 depth, quint16 characterId, const Placement &placement = {});
    void removeObject(quint16 depth);
    void frameLabel(const QString &name);
    void stop();
    void play();
    void gotoFrame(quint16 frameIndex); // 0-based, as the action stores it
    // A DoAction tag around raw action records; the closing end-of-actions byte is added.
    void doAction(const QByteArray &actionRecords);
    void showFrame();
    // Any tag, body as given: for fixtures that need what the builder does not offer.
    void addTag(TagCode code, const QByteArray &body);

    // Frames closed by showFrame().
    quint16 frameCount() const { return m_frames; }
    // The tags; with `closeFrame` a trailing ShowFrame is added when tags follow the last one,
    // and an empty timeline gets one empty frame. The End tag is never included.
    QByteArray tags(bool closeFrame = true) const;
    quint16 frameCountClosed() const;

private:
    QByteArray m_tags;
    quint16 m_frames = 0;
    bool m_openFrame = false; // tags written since the last ShowFrame
};

// Tag header: short form for bodies under 63 bytes unless `forceLong`.
QByteArray encodeTag(TagCode code, const QByteArray &body, bool forceLong = false);
void writeRect(BitWriter &out, const QRect &twips);
void writeMatrix(BitWriter &out, const QTransform &matrix);
void writeColorTransform(BitWriter &out, const ColorTransform &cx); // CXFORMWITHALPHA
// The body of a shape tag after its id and bounds: style arrays and shape records.
QByteArray encodeShapeRecords(const QList<ShapeLayer> &layers, ShapeVersion version);
// Bounds of the layers in twips, widened by half the thickest line.
QRect shapeBounds(const QList<ShapeLayer> &layers);

// Outline of `text` drawn in `font` with its baseline starting at `originTwips`, in twips:
// the font's pixel size counts as pixels. Hinting is turned off so that the outline does not
// depend on the screen. Needs a QGuiApplication (the offscreen platform will do).
QPainterPath textOutline(const QString &text, const QFont &font, QPointF originTwips = {});
// The same outline scaled uniformly and centred to fit `boxTwips`, keeping `marginTwips` free.
QPainterPath fittedTextOutline(const QString &text, const QFont &font, const QRectF &boxTwips,
                               qreal marginTwips = 0);

// A text field (DefineEditText); geometry in twips.
struct EditField {
    enum class Align : quint8 { Left, Right, Center, Justify };
    QRect bounds;
    quint16 fontId = 0; // 0: the field names no font
    quint16 heightTwips = 240;
    QColor color = Qt::black;
    Align align = Align::Left;
    quint16 leftMargin = 0, rightMargin = 0, indent = 0;
    qint16 leading = 0;
    bool wordWrap = false, multiline = false, html = false, useOutlines = false;
    QString text;
};

// One record of static text (DefineText2): glyphs of `fontId` by index, each followed by
// its advance; the baseline starts at `originTwips`.
struct TextRun {
    quint16 fontId = 0;
    quint16 heightTwips = 240;
    QColor color = Qt::black;
    QPoint originTwips;
    QList<quint16> glyphs;
    QList<qint16> advances;
};

class MovieBuilder {
public:
    explicit MovieBuilder(const QRect &stageTwips);
    explicit MovieBuilder(QSize stagePixels);

    void setVersion(quint8 version) { m_version = version; }
    void setFrameRate(double framesPerSecond) { m_frameRate = framesPerSecond; }
    void setBackgroundColor(const QColor &color) { m_background = color; }
    void setCompression(Compression compression) { m_compression = compression; }
    quint8 version() const { return m_version; }
    const QRect &stage() const { return m_stage; }

    // Definitions return the new character id (1, 2, ... in the order of definition).
    quint16 defineShape(const QPainterPath &pathTwips, const Fill &fill,
                        const std::optional<LineStyle> &line = {}, ShapeVersion version = ShapeVersion::Auto);
    quint16 defineShape(const QList<ShapeLayer> &layers, ShapeVersion version = ShapeVersion::Auto);
    quint16 defineSprite(const Timeline &timeline);
    quint16 defineButton2(const QList<ButtonRecord> &records, bool trackAsMenu = false);
    // A font the movie names but does not embed (DefineFont2 with empty glyphs): glyph i
    // stands for characters[i]. `name` is stored as given, in whatever encoding.
    quint16 defineDeviceFont(const QByteArray &name, const QString &characters, bool bold = false,
                             bool italic = false);
    quint16 defineEditText(const EditField &field);
    quint16 defineText(const QRect &boundsTwips, const QList<TextRun> &runs);
    // A definition tag written by the caller; its body must start with `id`.
    void addDefinition(TagCode code, const QByteArray &body);

    // The main timeline; the shortcuts below write to it.
    Timeline &timeline() { return m_timeline; }
    void placeObject(quint16 depth, quint16 characterId, const Placement &placement = {})
    {
        m_timeline.placeObject(depth, characterId, placement);
    }
    void moveObject(quint16 depth, const Placement &placement) { m_timeline.moveObject(depth, placement); }
    void removeObject(quint16 depth) { m_timeline.removeObject(depth); }
    void showFrame() { m_timeline.showFrame(); }
    void stop() { m_timeline.stop(); }

    // The whole file: header, background colour, definitions, main timeline, End tag.
    QByteArray build() const;
    Result<void> save(const QString &path) const;

private:
    QRect m_stage;
    quint8 m_version = 6;
    double m_frameRate = 12;
    std::optional<QColor> m_background;
    Compression m_compression = Compression::None;
    QByteArray m_definitions;
    Timeline m_timeline;
    quint16 m_nextId = 1;
};

} // namespace velmora::swfwriter
