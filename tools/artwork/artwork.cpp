#include "artwork.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace velmora::artwork {
namespace {

const QColor kIndigo(0x23, 0x30, 0x5a);
const QColor kTeal(0x1f, 0x5f, 0x6b);
const QColor kGold(0xc9, 0xa5, 0x4c);
const QColor kCream(0xfb, 0xf6, 0xe8);

constexpr int kPictureWidth = 1000;
constexpr int kPictureHeight = 768;
constexpr int kBandHeight = 70;

void paintBand(QPainter &p)
{
    QLinearGradient sky(0, 0, 0, kBandHeight);
    sky.setColorAt(0.0, kIndigo);
    sky.setColorAt(1.0, kTeal);
    p.fillRect(QRect(0, 0, kPictureWidth, kBandHeight), sky);

    // A lighter recess behind the buttons (they sit from 14 to 66 px).
    QLinearGradient recess(0, 10, 0, 68);
    recess.setColorAt(0.0, QColor(255, 255, 255, 28));
    recess.setColorAt(1.0, QColor(255, 255, 255, 8));
    p.setPen(Qt::NoPen);
    p.setBrush(recess);
    p.drawRoundedRect(QRectF(12, 9, kPictureWidth - 24, 59), 10, 10);

    // Waves drawn faintly across the band: the sea the travellers cross.
    p.setBrush(Qt::NoBrush);
    for (int line = 0; line < 3; ++line) {
        QPainterPath wave;
        const double y = 22 + line * 16;
        wave.moveTo(0, y);
        for (int x = 0; x < kPictureWidth; x += 40)
            wave.quadTo(x + 20, y + (line % 2 ? 5 : -5), x + 40, y);
        p.setPen(QPen(QColor(255, 255, 255, 22), 1.5));
        p.drawPath(wave);
    }

    // Gold rules frame the band, with diamonds along the lower one.
    p.setPen(QPen(kGold, 2));
    p.drawLine(QPointF(0, 3), QPointF(kPictureWidth, 3));
    p.drawLine(QPointF(0, 68), QPointF(kPictureWidth, 68));
    p.setPen(Qt::NoPen);
    p.setBrush(kGold);
    for (int x = 20; x < kPictureWidth; x += 60) {
        QPolygonF diamond({QPointF(x, 64), QPointF(x + 4, 68), QPointF(x, 72), QPointF(x - 4, 68)});
        p.drawPolygon(diamond);
    }
}

void paintFooter(QPainter &p)
{
    // A thin rule under the page, ending before the maker's name at the bottom right.
    p.setPen(QPen(kGold, 1));
    p.drawLine(QPointF(24, 742), QPointF(850, 742));
    p.setPen(Qt::NoPen);
    p.setBrush(kTeal);
    p.drawEllipse(QPointF(24, 742), 3, 3);
}

} // namespace

QImage paintWindowPicture()
{
    QImage image(kPictureWidth, kPictureHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    paintBand(p);
    paintFooter(p);
    return image;
}

QImage paintProgramIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 96.0, size / 96.0);

    // A tile in the band's colours…
    QLinearGradient tile(0, 0, 0, 96);
    tile.setColorAt(0.0, kIndigo);
    tile.setColorAt(1.0, kTeal);
    p.setPen(QPen(kGold, 3));
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(4, 4, 88, 88), 16, 16);

    // …holding an open book…
    p.setPen(QPen(kGold, 2));
    p.setBrush(kCream);
    QPainterPath left;
    left.moveTo(48, 70);
    left.cubicTo(38, 64, 24, 64, 14, 68);
    left.lineTo(14, 30);
    left.cubicTo(24, 26, 38, 26, 48, 32);
    left.closeSubpath();
    p.drawPath(left);
    p.drawPath(QTransform(-1, 0, 0, 1, 96, 0).map(left));

    // …with a V across its pages.
    p.setPen(QPen(kIndigo, 7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    QPainterPath v;
    v.moveTo(32, 36);
    v.lineTo(48, 62);
    v.lineTo(64, 36);
    p.drawPath(v);
    return image;
}

} // namespace velmora::artwork
