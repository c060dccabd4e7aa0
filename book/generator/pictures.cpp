#include "pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <numbers>

namespace velmora::book {

namespace {

QImage canvas(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

QPainterPath ridge(int width, qreal base, qreal amplitude, qreal period, qreal phase, int height)
{
    QPainterPath p;
    p.moveTo(0, height);
    for (int x = 0; x <= width; x += 4) {
        const qreal y = base - amplitude * (0.6 * std::sin(x / period + phase) +
                                            0.4 * std::sin(x / (period * 0.37) + 2 * phase));
        p.lineTo(x, y);
    }
    p.lineTo(width, height);
    p.closeSubpath();
    return p;
}

} // namespace

QImage paintLakePostcard()
{
    constexpr int w = 480, h = 270;
    QImage image = canvas(w, h);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 0, h * 0.6);
    sky.setColorAt(0, QColor(0x2b, 0x3a, 0x67));
    sky.setColorAt(0.55, QColor(0xe0, 0x7a, 0x5f));
    sky.setColorAt(1, QColor(0xf2, 0xcc, 0x8f));
    p.fillRect(QRectF(0, 0, w, h * 0.6), sky);

    QRadialGradient sun(QPointF(w * 0.68, h * 0.5), 60);
    sun.setColorAt(0, QColor(255, 236, 180));
    sun.setColorAt(0.35, QColor(255, 214, 140, 220));
    sun.setColorAt(1, QColor(255, 214, 140, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(sun);
    p.drawEllipse(QPointF(w * 0.68, h * 0.5), 60, 60);

    p.setBrush(QColor(0x5b, 0x4a, 0x6e));
    p.drawPath(ridge(w, h * 0.42, 26, 55, 0.3, static_cast<int>(h * 0.6) + 1));
    p.setBrush(QColor(0x3c, 0x35, 0x52));
    p.drawPath(ridge(w, h * 0.52, 14, 31, 1.7, static_cast<int>(h * 0.6) + 1));

    QLinearGradient water(0, h * 0.6, 0, h);
    water.setColorAt(0, QColor(0xd9, 0x8f, 0x6c));
    water.setColorAt(1, QColor(0x1f, 0x3b, 0x5a));
    p.fillRect(QRectF(0, h * 0.6, w, h * 0.4), water);

    // The sun's path on the water, in broken strokes.
    p.setPen(QPen(QColor(255, 230, 180, 170), 2));
    for (int i = 0; i < 12; ++i) {
        const qreal y = h * 0.63 + i * 8;
        const qreal half = 30 - i * 2;
        p.drawLine(QPointF(w * 0.68 - half, y), QPointF(w * 0.68 + half - (i % 3) * 4, y));
    }

    // Town lights along the far shore.
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 18; ++i) {
        p.setBrush(QColor(255, 220, 120, 200));
        p.drawEllipse(QPointF(20 + i * 13.0 + (i % 4) * 3, h * 0.585 + (i % 3)), 1.6, 1.6);
    }

    // The ferry: hull, cabin, a lamp.
    QPainterPath hull;
    hull.moveTo(110, 200);
    hull.lineTo(200, 200);
    hull.lineTo(188, 214);
    hull.lineTo(122, 214);
    hull.closeSubpath();
    p.setBrush(QColor(0x22, 0x22, 0x2e));
    p.drawPath(hull);
    p.drawRect(QRectF(135, 186, 40, 14));
    p.setBrush(QColor(255, 210, 110));
    p.drawEllipse(QPointF(155, 180), 3, 3);
    return image;
}

QImage paintLanterns()
{
    constexpr int w = 480, h = 200;
    QImage image = canvas(w, h);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient night(0, 0, 0, h);
    night.setColorAt(0, QColor(0x14, 0x1a, 0x33));
    night.setColorAt(1, QColor(0x2e, 0x23, 0x3f));
    p.fillRect(image.rect(), night);

    // The string sags between two poles.
    QPainterPath string;
    string.moveTo(0, 40);
    string.quadTo(w / 2.0, 110, w, 40);
    p.setPen(QPen(QColor(0x8a, 0x7a, 0x6a), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawPath(string);

    const QColor colours[] = {QColor(0xe6, 0x4b, 0x3c), QColor(0xf2, 0xa6, 0x3b), QColor(0xe8, 0x6f, 0x8e),
                              QColor(0xf4, 0xd0, 0x58)};
    for (int i = 0; i < 9; ++i) {
        const qreal t = (i + 0.5) / 9.0;
        const QPointF top = string.pointAtPercent(t);
        const QColor c = colours[i % 4];
        QRadialGradient glow(top + QPointF(0, 26), 46);
        glow.setColorAt(0, QColor(c.red(), c.green(), c.blue(), 110));
        glow.setColorAt(1, QColor(c.red(), c.green(), c.blue(), 0));
        p.setPen(Qt::NoPen);
        p.setBrush(glow);
        p.drawEllipse(top + QPointF(0, 26), 46, 46);
        p.setPen(QPen(QColor(0x8a, 0x7a, 0x6a), 1));
        p.drawLine(top, top + QPointF(0, 8));
        QRadialGradient body(top + QPointF(-4, 22), 24);
        body.setColorAt(0, c.lighter(150));
        body.setColorAt(1, c.darker(120));
        p.setPen(Qt::NoPen);
        p.setBrush(body);
        p.drawEllipse(QRectF(top.x() - 15, top.y() + 8, 30, 36));
        p.setBrush(QColor(0x3a, 0x2a, 0x1a));
        p.drawRect(QRectF(top.x() - 6, top.y() + 6, 12, 4));
        p.drawRect(QRectF(top.x() - 6, top.y() + 42, 12, 4));
        p.setPen(QPen(c.darker(140), 1));
        p.drawLine(top + QPointF(0, 46), top + QPointF(0, 58));
    }
    return image;
}

QImage paintAppIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 120.0, size / 120.0);
    p.translate(60, 60);
    QRadialGradient badge(QPointF(-12, -14), 70);
    badge.setColorAt(0, QColor(0xfb, 0xf6, 0xe8));
    badge.setColorAt(1, QColor(0xe8, 0xdc, 0xbc));
    p.setBrush(badge);
    p.setPen(QPen(QColor(0xc9, 0xa5, 0x4c), 5));
    p.drawEllipse(QPointF(0, 0), 55, 55);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1f, 0x5f, 0x6b));
    p.drawPolygon(QPolygonF({QPointF(-46, 0), QPointF(0, -9), QPointF(46, 0), QPointF(0, 9)}));
    p.setBrush(QColor(0x23, 0x30, 0x5a));
    p.drawPolygon(QPolygonF({QPointF(0, -48), QPointF(10, 0), QPointF(0, 48), QPointF(-10, 0)}));
    p.setBrush(QColor(0xc9, 0xa5, 0x4c));
    p.drawEllipse(QPointF(0, 0), 6, 6);
    return image;
}

QList<std::pair<QString, QImage>> allPictures()
{
    return {{QStringLiteral("lake.png"), paintLakePostcard()},
            {QStringLiteral("lanterns.png"), paintLanterns()}};
}

} // namespace velmora::book
