// Text in system fonts: edit fields and static text whose fonts are not embedded, plain and
// HTML, drawn by the player and compared with the same text drawn by QPainter itself.
#include "controls/swf/devicefonts.h"
#include "controls/swf/player.h"
#include "swfwriter.h"

#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <QStringEncoder>

#include <gtest/gtest.h>

namespace velmora::swf {
namespace {

using swfwriter::EditField;
using swfwriter::MovieBuilder;
using swfwriter::TextRun;

constexpr int kWidth = 200, kHeight = 60;
constexpr int kGutter = 2; // pixels between a field's bounds and its text

QImage render(const MovieBuilder &builder)
{
    const QByteArray bytes = builder.build();
    auto movie = loadMovie(
        {reinterpret_cast<const std::uint8_t *>(bytes.constData()), static_cast<std::size_t>(bytes.size())});
    EXPECT_TRUE(movie.ok());
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    if (!movie.ok())
        return image;
    Player player(*movie);
    QPainter painter(&image);
    player.render(painter, QRectF(image.rect()), Quality::High);
    return image;
}

MovieBuilder stage()
{
    MovieBuilder movie(QSize(kWidth, kHeight));
    movie.setBackgroundColor(Qt::white);
    return movie;
}

// One field over the whole stage, in a device font named `fontName`.
QImage renderField(EditField field, const QByteArray &fontName)
{
    MovieBuilder movie = stage();
    if (!fontName.isEmpty())
        field.fontId = movie.defineDeviceFont(fontName, {});
    field.bounds = QRect(0, 0, kWidth * 20, kHeight * 20);
    movie.placeObject(1, movie.defineEditText(field));
    movie.showFrame();
    return render(movie);
}

// The text as QPainter draws it in `family` without anti-aliasing, baseline at `origin`.
QImage drawn(const QString &text, const QString &family, int pixelSize, QColor color, QPointF origin)
{
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setKerning(false);
    font.setStyleStrategy(QFont::NoAntialias);
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(origin, text);
    return image;
}

int ascent(const QString &family, int pixelSize)
{
    QFont font(family);
    font.setPixelSize(pixelSize);
    return QFontMetrics(font).ascent();
}

QRect ink(const QImage &image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != qRgb(255, 255, 255))
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

// Pixels that differ; the two routes may round a glyph's position to the other pixel.
int differing(const QImage &a, const QImage &b)
{
    int n = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x)
            n += a.pixel(x, y) != b.pixel(x, y);
    }
    return n;
}

QByteArray encoded(const char *codePage, const QString &name)
{
    QStringEncoder encoder(codePage);
    return encoder(name);
}

TEST(DeviceFonts, NamesMapToInstalledFaces)
{
    struct Row {
        QByteArray stored;
        const char *family;
    } rows[] = {
        {"_sans", "Liberation Sans"},
        {"_serif", "Liberation Serif"},
        {"_typewriter", "Liberation Mono"},
        {"Arial", "Liberation Sans"},
        {"SimSun", "Noto Serif CJK SC"},
        {QString::fromUtf8("宋体").toUtf8(), "Noto Serif CJK SC"},
        {encoded("GBK", QString::fromUtf8("宋体")), "Noto Serif CJK SC"},
        {encoded("GBK", QString::fromUtf8("黑体")), "Noto Sans CJK SC"},
        {QString::fromUtf8("微软雅黑").toUtf8(), "Noto Sans CJK SC"},
        {encoded("GBK", QString::fromUtf8("楷体_GB2312")), "Noto Serif CJK SC"},
        {encoded("Big5", QString::fromUtf8("細明體")), "Noto Serif CJK TC"},
        {"MingLiU", "Noto Serif CJK TC"},
        {encoded("Shift_JIS", QString::fromUtf8("ＭＳ ゴシック")), "Noto Sans CJK JP"},
        {"no such face", "Liberation Serif"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.stored.toStdString());
        const QFont font = deviceFont(decodeFontName(row.stored.toStdString()), false, false, 12);
        EXPECT_EQ(font.families().front().toStdString(), row.family);
        EXPECT_EQ(QFontInfo(font).family().toStdString(), row.family) << "the face is not installed";
    }
}

TEST(DeviceText, FieldDrawsLikeQPainterOnWholePixels)
{
    EditField field;
    field.text = "Hello, world";
    field.color = Qt::red;
    const QImage ours = renderField(field, "_sans");
    const QImage expected = drawn(field.text, "Liberation Sans", 12, Qt::red,
                                  QPointF(kGutter, kGutter + ascent("Liberation Sans", 12)));
    const QRect a = ink(ours), b = ink(expected);
    ASSERT_FALSE(a.isEmpty());
    EXPECT_LE(std::abs(a.left() - b.left()), 1);
    EXPECT_LE(std::abs(a.right() - b.right()), 2) << "glyph advances";
    EXPECT_EQ(a.top(), b.top());
    EXPECT_EQ(a.bottom(), b.bottom());
    // Not smoothed: every pixel is the text's colour or the background.
    for (int y = a.top(); y <= a.bottom(); ++y) {
        for (int x = a.left(); x <= a.right(); ++x)
            ASSERT_TRUE(ours.pixel(x, y) == qRgb(255, 0, 0) || ours.pixel(x, y) == qRgb(255, 255, 255));
    }
}

TEST(DeviceText, AlignmentMarginsAndLines)
{
    EditField field;
    field.text = "mm";
    const int left = ink(renderField(field, "_sans")).left();
    field.align = EditField::Align::Right;
    const QRect right = ink(renderField(field, "_sans"));
    EXPECT_NEAR(right.right(), kWidth - 1 - kGutter, 1);
    field.align = EditField::Align::Center;
    const QRect centre = ink(renderField(field, "_sans"));
    EXPECT_NEAR(centre.left() + centre.right(), kWidth - 1, 2);
    field.align = EditField::Align::Left;
    field.leftMargin = 200;
    EXPECT_EQ(ink(renderField(field, "_sans")).left(), left + 10);

    // The leading adds to the distance between lines.
    field.leftMargin = 0;
    field.multiline = true;
    field.text = "m\rm";
    const QRect tight = ink(renderField(field, "_sans"));
    field.leading = 60;
    const QRect spaced = ink(renderField(field, "_sans"));
    EXPECT_EQ(spaced.top(), tight.top());
    EXPECT_EQ(spaced.bottom(), tight.bottom() + 3);
}

TEST(DeviceText, HtmlFormats)
{
    EditField field;
    field.html = true;
    auto width = [&](const QString &html) {
        field.text = html;
        return ink(renderField(field, "_sans")).width();
    };
    const int plain = width("Wide words");
    EXPECT_GT(width("<b>Wide words</b>"), plain);
    EXPECT_NEAR(width("<font letterSpacing=\"3\">Wide words</font>"), plain + 3 * 9, 2);
    EXPECT_GT(width("<font size=\"20\">Wide words</font>"), plain * 3 / 2);
    EXPECT_NEAR(width("<font face=\"_typewriter\">xiiiix</font>"),
                width("<font face=\"_typewriter\">xmmmmx</font>"), 1);

    field.text = "a<font color=\"#0000ff\">b</font>";
    const QImage coloured = renderField(field, "_sans");
    int blue = 0, black = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            blue += coloured.pixel(x, y) == qRgb(0, 0, 255);
            black += coloured.pixel(x, y) == qRgb(0, 0, 0);
        }
    }
    EXPECT_GT(blue, 10);
    EXPECT_GT(black, 10);

    // A paragraph's own alignment; a list item's text starts after its bullet.
    field.text = "<p align=\"right\">mm</p>";
    EXPECT_NEAR(ink(renderField(field, "_sans")).right(), kWidth - 1 - kGutter, 1);
    field.text = "<li>mm</li>";
    const QRect item = ink(renderField(field, "_sans"));
    field.text = "mm";
    EXPECT_LT(item.left(), ink(renderField(field, "_sans")).left() + 18) << "the bullet";
    EXPECT_GT(item.width(), 18);
}

TEST(DeviceText, StaticTextPlacesEveryCharacterWhereTheRecordSays)
{
    const QString text = QString::fromUtf8("中文字");
    MovieBuilder movie = stage();
    const quint16 font = movie.defineDeviceFont(encoded("GBK", QString::fromUtf8("宋体")), text);
    TextRun run;
    run.fontId = font;
    run.originTwips = QPoint(200, 600);
    run.glyphs = {0, 1, 2};
    run.advances = {400, 300, 300}; // 20 and 15 pixels
    movie.placeObject(1, movie.defineText(QRect(0, 0, 2000, 1000), {run}));
    movie.showFrame();
    const QImage ours = render(movie);

    QImage expected(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    expected.fill(Qt::white);
    QPainter painter(&expected);
    QFont qfont("Noto Serif CJK SC");
    qfont.setPixelSize(12);
    qfont.setStyleStrategy(QFont::NoAntialias);
    painter.setFont(qfont);
    painter.drawText(QPointF(10, 30), text.mid(0, 1));
    painter.drawText(QPointF(30, 30), text.mid(1, 1));
    painter.drawText(QPointF(45, 30), text.mid(2, 1));
    painter.end();
    EXPECT_EQ(ink(ours), ink(expected));
    EXPECT_EQ(differing(ours, expected), 0);
}

} // namespace
} // namespace velmora::swf
