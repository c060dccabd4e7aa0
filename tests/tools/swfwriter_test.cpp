// The movie writer: bytes of small cases field by field, and geometry read back from the records.
#include "shapedecoder.h"
#include "swfwriter.h"

#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <functional>

using namespace velmora::swfwriter;
using velmora::swfwriter::testing::decodeShapeRecords;

namespace {

// "0111 1000 ..." -> bytes; spaces and '|' only separate fields, a final partial byte is zero-padded.
QByteArray bits(const char *text)
{
    BitWriter out;
    for (const char *p = text; *p; ++p)
        if (*p == '0' || *p == '1')
            out.writeUB(*p == '1' ? 1 : 0, 1);
    return out.bytes();
}

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text));
}

struct BitCase {
    const char *name;
    std::function<void(BitWriter &)> write;
    QByteArray expected;
};

TEST(BitWriter, FieldsAreMsbFirstAndBytesLittleEndian)
{
    const BitCase cases[] = {
        {"five bits then padding", [](BitWriter &w) { w.writeUB(0b10101, 5); }, hex("a8")},
        {"negative three-bit field", [](BitWriter &w) { w.writeSB(-1, 3); }, hex("e0")},
        {"field across a byte boundary", [](BitWriter &w) { w.writeUB(0x1FF, 9); }, hex("ff80")},
        {"u16 aligns after bits",
         [](BitWriter &w) {
             w.writeUB(1, 1);
             w.writeU16(0x1234);
         },
         hex("803412")},
        {"u32 little-endian", [](BitWriter &w) { w.writeU32(0x01020304); }, hex("04030201")},
        // 1.5 in 16.16 is 0x18000: 17 bits and a sign bit, here in 19.
        {"fixed 1.5 in 19 bits", [](BitWriter &w) { w.writeFB(1.5, 19); }, bits("00 1 1000 0000 0000 0000")},
        {"string ends with zero", [](BitWriter &w) { w.writeString("ab"); }, hex("616200")},
        {"zero-width field writes nothing",
         [](BitWriter &w) {
             w.writeSB(5, 0);
             w.writeU8(7);
         },
         hex("07")},
    };
    for (const BitCase &c : cases) {
        SCOPED_TRACE(c.name);
        BitWriter w;
        c.write(w);
        EXPECT_EQ(w.bytes().toHex(' '), c.expected.toHex(' '));
    }
}

TEST(BitWriter, FieldWidthsAtTheirBoundaries)
{
    struct Row {
        std::int32_t value;
        int signedBits;
    };
    // Side by side: the largest value of a width and the first one that needs one more bit.
    const Row rows[] = {{0, 1}, {-1, 1}, {1, 2}, {-2, 2}, {63, 7}, {64, 8}, {-64, 7}, {-65, 8}, {65535, 17}};
    for (const Row &r : rows) {
        SCOPED_TRACE(r.value);
        EXPECT_EQ(BitWriter::bitsForSigned(r.value), r.signedBits);
    }
    EXPECT_EQ(BitWriter::bitsForUnsigned(0), 0);
    EXPECT_EQ(BitWriter::bitsForUnsigned(255), 8);
    EXPECT_EQ(BitWriter::bitsForUnsigned(256), 9);
}

TEST(MovieBuilder, EmptyMovieHeader)
{
    MovieBuilder movie(QSize(550, 400));
    const QByteArray expected = hex("465753"   // "FWS"
                                    "06"       // version 6
                                    "19000000" // file length 25
                                    // RECT: Nbits 15 | Xmin 0 | Xmax 11000 | Ymin 0 | Ymax 8000
                                    "7800055f00000fa000"
                                    "000c"   // 12 fps, 8.8 with the fraction byte first
                                    "0100"   // one frame
                                    "4000"   // ShowFrame (code 1, length 0): an empty movie still has a frame
                                    "0000"); // End
    EXPECT_EQ(movie.build().toHex(' '), expected.toHex(' '));
}

TEST(MovieBuilder, VersionEightStartsWithFileAttributesThenBackground)
{
    MovieBuilder movie(QRect(0, 0, 20, 20));
    movie.setVersion(8);
    movie.setFrameRate(24.5);
    movie.setBackgroundColor(QColor(255, 0, 0));
    const QByteArray file = movie.build();
    const QByteArray afterHeader = file.mid(8);
    const QByteArray expected =
        bits("00110 000000 010100 000000 010100") + hex(       // RECT: Nbits 6 | 0 | 20 | 0 | 20
                                                        "8018" // 24.5 fps: fraction 0x80, integer 24
                                                        "0100" // one frame
                                                        "4411"
                                                        "00000000" // FileAttributes (69), 4 bytes, no flags
                                                        "4302"
                                                        "ff0000" // SetBackgroundColor (9), 3 bytes, red
                                                        "4000"
                                                        "0000"); // ShowFrame, End
    EXPECT_EQ(afterHeader.toHex(' '), expected.toHex(' '));
}

TEST(MovieBuilder, SolidRectangleShape)
{
    MovieBuilder movie(QSize(2, 1));
    QPainterPath rect;
    rect.addRect(0, 0, 40, 20); // clockwise on screen
    EXPECT_EQ(movie.defineShape(rect, Fill::solid(QColor(255, 0, 0))), 1);
    const QByteArray file = movie.build();
    const QByteArray body = bits(
        // RECT bounds: Nbits 7 | Xmin 0 | Xmax 40 | Ymin 0 | Ymax 20
        "00111 0000000 0101000 0000000 0010100 0000000");
    const QByteArray styles = hex("01"
                                  "00"
                                  "ff0000" // one solid fill, red (RGB in DefineShape)
                                  "00"     // no line styles
                                  "10");   // NumFillBits 1, NumLineBits 0
    const QByteArray records =
        bits("0 0 0 1 1 1"         // style change: fill1, fill0, moveTo
             "00001 0 0"           // moveTo (0, 0) in 1-bit fields
             "0 1"                 // fill0 = 0, fill1 = 1: the inside is on the right of a clockwise run
             "11 0101 0 0 0101000" // straight, 7 bits, horizontal, +40
             "11 0100 0 1 010100"  // straight, 6 bits, vertical, +20
             "11 0101 0 0 1011000" // straight, 7 bits, horizontal, -40
             "11 0100 0 1 101100"  // straight, 6 bits, vertical, -20
             "000000");            // end of shape
    const QByteArray shapeBody = hex("0100") + body + styles + records;
    const QByteArray tag = encodeTag(TagCode::DefineShape, shapeBody);
    ASSERT_LT(shapeBody.size(), 63);
    EXPECT_EQ(tag.left(2).toHex(),
              QByteArray::number(2 << 6 | shapeBody.size(), 16).rightJustified(4, '0').right(2) +
                  QByteArray::number((2 << 6 | shapeBody.size()) >> 8, 16).rightJustified(2, '0'));
    EXPECT_TRUE(file.contains(tag)) << file.toHex(' ').toStdString() << "\nexpected tag "
                                    << tag.toHex(' ').toStdString();
}

TEST(MovieBuilder, PlaceObjectWithMatrixAndAlpha)
{
    Timeline t;
    Placement p;
    p.matrix = QTransform::fromTranslate(20, -40);
    p.colorTransform = ColorTransform::alpha(0.5);
    t.placeObject(1, 1, p);
    const QByteArray expected = hex("8e06") // PlaceObject2 (26), 14 bytes
                                + hex("0e") // flags: colour transform, matrix, character
                                + hex("0100"
                                      "0100") // depth 1, character 1
                                // MATRIX: no scale | no rotate | Nbits 7 | tx 20 | ty -40
                                + bits("0 0 00111 0010100 1011000")
                                // CXFORMWITHALPHA: no add | mult | Nbits 10 | 256 256 256 128
                                + bits("0 1 1010 0100000000 0100000000 0100000000 0010000000");
    EXPECT_EQ(t.tags(false).toHex(' '), expected.toHex(' '));
}

TEST(MovieBuilder, ControlTags)
{
    struct Row {
        const char *name;
        std::function<void(Timeline &)> write;
        QByteArray expected;
    };
    const Row rows[] = {
        {"stop", [](Timeline &t) { t.stop(); },
         hex("0203"
             "07"
             "00")},
        {"play", [](Timeline &t) { t.play(); },
         hex("0203"
             "06"
             "00")},
        {"goto frame 3", [](Timeline &t) { t.gotoFrame(3); },
         hex("0603"
             "81"
             "0200"
             "0300"
             "00")},
        {"remove depth 2", [](Timeline &t) { t.removeObject(2); },
         hex("0207"
             "0200")},
        {"move depth 1 with ratio",
         [](Timeline &t) {
             Placement p;
             p.ratio = 0x1234;
             t.moveObject(1, p);
         },
         hex("8506"
             "11"
             "0100"
             "3412")},
        {"frame label", [](Timeline &t) { t.frameLabel("go"); },
         hex("c30a"
             "676f00")},
        {"show frame", [](Timeline &t) { t.showFrame(); }, hex("4000")},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        Timeline t;
        r.write(t);
        EXPECT_EQ(t.tags(false).toHex(' '), r.expected.toHex(' '));
    }
}

TEST(MovieBuilder, TagHeaderSwitchesToLongFormAt63Bytes)
{
    EXPECT_EQ(encodeTag(TagCode::DefineShape, QByteArray(62, 'x')).left(2).toHex(), "be00"); // 2 << 6 | 62
    const QByteArray longTag = encodeTag(TagCode::DefineShape, QByteArray(63, 'x'));
    EXPECT_EQ(longTag.left(6).toHex(), "bf003f000000"); // 0x3F marker, then a 32-bit length
    EXPECT_EQ(longTag.size(), 6 + 63);
    EXPECT_EQ(encodeTag(TagCode::ShowFrame, {}, true).toHex(), "7f0000000000");
}

TEST(MovieBuilder, SpriteCountsItsFramesAndEnds)
{
    MovieBuilder movie(QSize(1, 1));
    Timeline inner;
    inner.showFrame();
    inner.stop(); // a trailing tag opens a second frame, closed by the writer
    EXPECT_EQ(movie.defineSprite(inner), 1);
    const QByteArray file = movie.build();
    const QByteArray expected = hex("ce09") // DefineSprite (39), 14 bytes
                                + hex("0100"
                                      "0200") // id 1, two frames
                                + hex("4000"
                                      "02030700"
                                      "4000"
                                      "0000"); // ShowFrame, stop, ShowFrame, End
    EXPECT_TRUE(file.contains(expected)) << file.toHex(' ').toStdString();
}

TEST(MovieBuilder, ButtonRecordsCarryStatesDepthMatrixAndColour)
{
    MovieBuilder movie(QSize(1, 1));
    ButtonRecord up{ButtonRecord::Up | ButtonRecord::Over, 7, 3, {}, {}};
    ButtonRecord hit{ButtonRecord::HitTest, 8, 4, {}, {}};
    EXPECT_EQ(movie.defineButton2({up, hit}), 1);
    const QByteArray expected = hex("9408") // DefineButton2 (34), 20 bytes
                                + hex("0100"
                                      "00"
                                      "0000") // id 1, not a menu, no actions
                                + hex("03"
                                      "0700"
                                      "0300"
                                      "00"
                                      "00") // up|over, char 7, depth 3, identity, no cxform
                                + hex("08"
                                      "0800"
                                      "0400"
                                      "00"
                                      "00")  // hit area
                                + hex("00"); // end of records
    EXPECT_TRUE(movie.build().contains(expected)) << movie.build().toHex(' ').toStdString();
}

TEST(MovieBuilder, CompressedFileHoldsTheSameBody)
{
    MovieBuilder movie(QSize(30, 30));
    QPainterPath disc;
    disc.addEllipse(QRectF(0, 0, 600, 600));
    movie.defineShape(disc, Fill::solid(Qt::blue));
    movie.placeObject(1, 1);
    const QByteArray plain = movie.build();
    movie.setCompression(Compression::Zlib);
    const QByteArray packed = movie.build();
    ASSERT_EQ(packed.left(3), "CWS");
    EXPECT_EQ(packed.mid(3, 5), plain.mid(3, 5)); // version and the uncompressed length
    uLongf size = static_cast<uLongf>(plain.size());
    QByteArray unpacked(plain.size(), '\0');
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef *>(unpacked.data()), &size,
                         reinterpret_cast<const Bytef *>(packed.constData() + 8),
                         static_cast<uLong>(packed.size() - 8)),
              Z_OK);
    EXPECT_EQ(static_cast<qsizetype>(size), plain.size() - 8);
    EXPECT_EQ(unpacked.left(static_cast<qsizetype>(size)), plain.mid(8));
}

TEST(MovieBuilder, SaveReportsAnUnwritablePath)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    MovieBuilder movie(QSize(1, 1));
    const QString good = dir.filePath("ok.swf");
    EXPECT_TRUE(movie.save(good).ok());
    QFile f(good);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), movie.build());

    const QString bad = dir.filePath("missing/folder/x.swf");
    const velmora::Result<void> r = movie.save(bad);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().number, 75);
    EXPECT_NE(r.error().description.find("missing/folder/x.swf"), std::string::npos);
}

// ---- geometry read back from the records ----

struct SideCase {
    const char *name;
    QPainterPath path;
    QList<std::pair<std::uint32_t, std::uint32_t>> fills; // (fill0, fill1) per contour
};

QPainterPath polygon(std::initializer_list<QPointF> points)
{
    QPainterPath p;
    p.addPolygon(QPolygonF(points));
    p.closeSubpath();
    return p;
}

TEST(ShapeRecords, FillGoesOnTheInsideOfEachContour)
{
    //  clockwise        counter-clockwise       ring: outer and hole, both clockwise
    //  +-->+            +<--+                   +-------->+
    //  |   |            |   |                   | +-->+   |
    //  +<--+            +-->+                   | +<--+   |
    QPainterPath ring = polygon({{0, 0}, {300, 0}, {300, 300}, {0, 300}});
    ring.addPath(polygon({{100, 100}, {200, 100}, {200, 200}, {100, 200}}));
    ring.setFillRule(Qt::OddEvenFill);
    const SideCase cases[] = {
        {"clockwise", polygon({{0, 0}, {100, 0}, {100, 100}, {0, 100}}), {{0, 1}}},
        {"counter-clockwise", polygon({{0, 0}, {0, 100}, {100, 100}, {100, 0}}), {{1, 0}}},
        {"ring with a hole", ring, {{0, 1}, {1, 0}}},
    };
    for (const SideCase &c : cases) {
        SCOPED_TRACE(c.name);
        QPainterPath path = c.path;
        if (path.fillRule() != Qt::OddEvenFill)
            path.setFillRule(Qt::OddEvenFill);
        const auto shape = decodeShapeRecords(
            encodeShapeRecords({{path, Fill::solid(Qt::red), {}}}, ShapeVersion::Shape1), false);
        ASSERT_TRUE(shape.ok);
        ASSERT_EQ(shape.contours.size(), c.fills.size());
        for (qsizetype i = 0; i < c.fills.size(); ++i) {
            EXPECT_EQ(shape.contours[i].fill0, c.fills[i].first) << "contour " << i;
            EXPECT_EQ(shape.contours[i].fill1, c.fills[i].second) << "contour " << i;
            ASSERT_FALSE(shape.contours[i].edges.isEmpty());
            EXPECT_EQ(shape.contours[i].edges.last().end, shape.contours[i].start)
                << "contour " << i << " not closed";
        }
    }
}

TEST(ShapeRecords, CubicCurvesStayOnTheCircle)
{
    constexpr qreal r = 2000;
    QPainterPath circle;
    circle.addEllipse(QPointF(3000, 3000), r, r); // four cubics
    const auto shape = decodeShapeRecords(
        encodeShapeRecords({{circle, Fill::solid(Qt::red), {}}}, ShapeVersion::Shape1), false);
    ASSERT_TRUE(shape.ok);
    ASSERT_EQ(shape.contours.size(), 1);
    QPoint at = shape.contours[0].start;
    int curves = 0;
    for (const auto &e : shape.contours[0].edges) {
        if (e.curved) {
            ++curves;
            // The quadratic's own midpoint must lie on the circle, not just its ends.
            const QPointF m = 0.25 * QPointF(at) + 0.5 * QPointF(e.control) + 0.25 * QPointF(e.end);
            EXPECT_NEAR(std::hypot(m.x() - 3000, m.y() - 3000), r, 3.0);
        }
        EXPECT_NEAR(std::hypot(e.end.x() - 3000, e.end.y() - 3000), r, 1.5);
        at = e.end;
    }
    EXPECT_GE(curves, 8); // a quarter circle is too bent for one quadratic at this size
}

TEST(ShapeRecords, LongEdgesAreCutToFitTheirFields)
{
    QPainterPath line;
    line.moveTo(0, 0);
    line.lineTo(200000, 10);
    const auto shape = decodeShapeRecords(
        encodeShapeRecords({{line, {}, LineStyle{20, Qt::black}}}, ShapeVersion::Shape1), false);
    ASSERT_TRUE(shape.ok);
    ASSERT_EQ(shape.contours.size(), 1);
    EXPECT_EQ(shape.contours[0].line, 1u);
    EXPECT_GE(shape.contours[0].edges.size(), 4);
    EXPECT_EQ(shape.contours[0].edges.last().end, QPoint(200000, 10));
}

TEST(ShapeRecords, LayersGetTheirOwnStylesAndResetUnusedOnes)
{
    QPainterPath back, front;
    back.addRect(0, 0, 400, 200);
    front.addRect(100, 50, 200, 100);
    const QList<ShapeLayer> layers = {{back, Fill::solid(Qt::white), LineStyle{20, Qt::black}},
                                      {front, Fill::solid(Qt::red), {}}};
    const auto shape = decodeShapeRecords(encodeShapeRecords(layers, ShapeVersion::Shape2), false);
    ASSERT_TRUE(shape.ok);
    EXPECT_EQ(shape.layers, 2);
    ASSERT_EQ(shape.contours.size(), 2);
    EXPECT_EQ(shape.contours[0].line, 1u);
    EXPECT_EQ(shape.contours[1].layer, 1);
    EXPECT_EQ(shape.contours[1].line, 0u) << "the second layer has no line; the index must be cleared";
    EXPECT_EQ(shape.contours[1].fill1, 1u);
}

TEST(ShapeRecords, AutoVersionFollowsAlphaAndLayers)
{
    struct Row {
        const char *name;
        QList<ShapeLayer> layers;
        quint16 tag;
    };
    QPainterPath box;
    box.addRect(0, 0, 20, 20);
    const Row rows[] = {
        {"one opaque layer", {{box, Fill::solid(Qt::red), {}}}, 2},
        {"two opaque layers", {{box, Fill::solid(Qt::red), {}}, {box, Fill::solid(Qt::blue), {}}}, 22},
        {"translucent fill", {{box, Fill::solid(QColor(0, 0, 0, 128)), {}}}, 32},
        {"translucent line", {{box, {}, LineStyle{20, QColor(0, 0, 0, 10)}}}, 32},
        {"translucent gradient stop",
         {{box, Fill::linear({0, 0}, {20, 0}, {{0, Qt::red}, {1, QColor(0, 0, 255, 0)}}), {}}},
         32},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        MovieBuilder movie(QSize(1, 1));
        movie.defineShape(r.layers);
        const QByteArray file = movie.build();
        // The first tag after the 8-byte header, the 4-byte RECT and 4 bytes of rate and count.
        const auto header =
            static_cast<quint16>(static_cast<quint8>(file[16]) | static_cast<quint8>(file[17]) << 8);
        EXPECT_EQ(header >> 6, r.tag);
    }
}

TEST(Fill, GradientMatrixMapsTheGradientSquareOntoTheGivenPoints)
{
    struct Row {
        const char *name;
        Fill fill;
        QPointF from, to; // images of gradient-space (-16384, 0) and (16384, 0)
    };
    const Row rows[] = {
        {"horizontal", Fill::linear({0, 0}, {32768, 0}, {}), {0, 0}, {32768, 0}},
        {"vertical, upwards", Fill::linear({100, 500}, {100, 100}, {}), {100, 500}, {100, 100}},
        {"diagonal", Fill::linear({-50, -50}, {150, 150}, {}), {-50, -50}, {150, 150}},
        {"radial radius 400", Fill::radial({200, 300}, 400, {}), {-200, 300}, {600, 300}},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        const QPointF a = r.fill.gradientMatrix.map(QPointF(-16384, 0));
        const QPointF b = r.fill.gradientMatrix.map(QPointF(16384, 0));
        EXPECT_NEAR(a.x(), r.from.x(), 1e-6);
        EXPECT_NEAR(a.y(), r.from.y(), 1e-6);
        EXPECT_NEAR(b.x(), r.to.x(), 1e-6);
        EXPECT_NEAR(b.y(), r.to.y(), 1e-6);
    }
}

// ---- text ----

TEST(TextOutline, FitsTheBoxAndIsTheSameEveryTime)
{
    QFont font(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
    font.setPixelSize(48);
    const QRectF box(0, 0, 1215, 780);
    const QPainterPath a = fittedTextOutline("Index 目录", font, box, 60);
    ASSERT_FALSE(a.isEmpty());
    const QRectF bounds = a.boundingRect();
    EXPECT_GE(bounds.left(), box.left() + 60 - 0.5);
    EXPECT_LE(bounds.right(), box.right() - 60 + 0.5);
    EXPECT_GE(bounds.top(), box.top() + 60 - 0.5);
    EXPECT_LE(bounds.bottom(), box.bottom() - 60 + 0.5);
    // It fills the room in at least one direction.
    EXPECT_TRUE(std::abs(bounds.width() - (box.width() - 120)) < 1 ||
                std::abs(bounds.height() - (box.height() - 120)) < 1);

    MovieBuilder one(QSize(81, 52)), two(QSize(81, 52));
    one.defineShape(a, Fill::solid(Qt::white));
    two.defineShape(fittedTextOutline("Index 目录", font, box, 60), Fill::solid(Qt::white));
    EXPECT_EQ(one.build(), two.build());
}

TEST(TextOutline, EmptyTextOrNoRoomGivesNoOutline)
{
    QFont font(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
    font.setPixelSize(20);
    EXPECT_TRUE(fittedTextOutline("", font, QRectF(0, 0, 100, 100)).isEmpty());
    EXPECT_TRUE(fittedTextOutline("A", font, QRectF(0, 0, 100, 100), 60).isEmpty());
}

} // namespace
