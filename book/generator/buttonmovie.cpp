#include "buttonmovie.h"

#include "swfwriter.h"

#include <QFont>

#include <cmath>
#include <numbers>

namespace velmora::book {

using namespace velmora::swfwriter;

namespace {

// Behind the top row lies the window picture's band (indigo into teal); behind the chapter
// buttons, the contents page's paper colour. Corners of the faces show it.
const QColor kBandColour(0x21, 0x48, 0x64);
const QColor kPaperColour(0xfb, 0xf6, 0xe8);
const QColor kGold(0xc9, 0xa5, 0x4c);

QPainterPath roundedRect(const QRectF &r, qreal radius)
{
    QPainterPath p;
    p.addRoundedRect(r, radius, radius);
    return p;
}

QGradientStops stops(const QColor &top, const QColor &bottom)
{
    return {{0.0, top}, {1.0, bottom}};
}

struct Layout {
    QRectF face;
    qreal radius = 0;
    QColor background;
    LineStyle border;
    QRectF labelBox, sublabelBox;
};

Layout layoutFor(const MovieSpec &entry)
{
    const QSize stage = movieStageTwips(entry);
    const qreal w = stage.width(), h = stage.height();
    Layout l;
    switch (entry.style) {
    case MovieSpec::Style::Chapter:
        l.background = kPaperColour;
        l.face = QRectF(10, 10, w - 20, h - 20);
        l.radius = l.face.height() / 2;
        l.border = LineStyle{15, QColor(entry.text.red(), entry.text.green(), entry.text.blue(), 110)};
        l.labelBox = QRectF(h * 0.55, h * 0.2, w - h * 1.1, h * 0.6);
        break;
    case MovieSpec::Style::Banner:
        l.background = kBandColour;
        l.face = QRectF(30, 30, w - 60, h - 60);
        l.radius = 120;
        l.border = LineStyle{30, kGold};
        l.labelBox = QRectF(300, 110, w - 600, h * 0.42);
        l.sublabelBox = QRectF(300, h * 0.62, w - 600, h * 0.2);
        break;
    case MovieSpec::Style::Top:
    case MovieSpec::Style::Emblem:
        l.background = kBandColour;
        l.face = QRectF(30, 30, w - 60, h - 60);
        l.radius = 200;
        l.border = LineStyle{20, kGold};
        if (entry.sublabel.isEmpty()) {
            l.labelBox = QRectF(w * 0.2, h * 0.25, w * 0.6, h * 0.5);
        } else {
            l.labelBox = QRectF(w * 0.16, h * 0.17, w * 0.68, h * 0.4);
            l.sublabelBox = QRectF(w * 0.2, h * 0.63, w * 0.6, h * 0.2);
        }
        break;
    }
    return l;
}

// An eight-pointed star around the origin, turned slowly behind the emblem's letter.
QPainterPath star(qreal outer, qreal inner)
{
    QPolygonF points;
    for (int i = 0; i < 16; ++i) {
        const qreal a = i * std::numbers::pi / 8;
        const qreal r = (i % 2 == 0) ? outer : inner;
        points << QPointF(r * std::sin(a), -r * std::cos(a));
    }
    QPainterPath p;
    p.addPolygon(points);
    p.closeSubpath();
    return p;
}

QPainterPath fitted(const QString &text, const QFont &font, const QRectF &box)
{
    if (text.isEmpty() || box.isEmpty())
        return {};
    return fittedTextOutline(text, font, box);
}

} // namespace

QSize movieStageTwips(const MovieSpec &entry)
{
    // Window twips are 15 to the pixel, a movie's 20: the stage has the control's pixel size.
    const auto toMovie = [](int windowTwips) {
        return static_cast<int>(std::lround(windowTwips / 15.0)) * kTwipsPerPixel;
    };
    return {toMovie(entry.rectTwips.width()), toMovie(entry.rectTwips.height())};
}

double glowAlpha(int frame)
{
    const double phase = 2 * std::numbers::pi * frame / kMovieFrames;
    return 0.15 + 0.5 * (1 - std::cos(phase)) / 2;
}

QByteArray makeButtonMovie(const MovieSpec &entry, const QFont &font)
{
    const Layout l = layoutFor(entry);
    MovieBuilder movie(QRect(QPoint(0, 0), movieStageTwips(entry)));
    movie.setVersion(6);
    movie.setFrameRate(kMovieFrameRate);
    movie.setBackgroundColor(l.background);

    const quint16 face = movie.defineShape(
        {{roundedRect(l.face, l.radius),
          Fill::linear(l.face.topLeft(), l.face.bottomLeft(), stops(entry.colour1, entry.colour2)),
          l.border}});

    // The glow: a light sheen over the upper part of the face whose strength breathes.
    const QRectF sheen = l.face.adjusted(l.border.widthTwips, l.border.widthTwips, -l.border.widthTwips,
                                         -l.face.height() * 0.45);
    const quint16 glow =
        movie.defineShape({{roundedRect(sheen, std::min(l.radius, sheen.height() / 2)),
                            Fill::linear(sheen.topLeft(), sheen.bottomLeft(),
                                         stops(QColor(255, 255, 255, 170), QColor(255, 255, 255, 0))),
                            {}}});

    std::optional<quint16> turning;
    QPointF centre = l.face.center();
    if (entry.style == MovieSpec::Style::Emblem) {
        const qreal r = std::min(l.face.width(), l.face.height()) * 0.42;
        turning = movie.defineShape(star(r, r * 0.55),
                                    Fill::solid(QColor(kGold.red(), kGold.green(), kGold.blue(), 90)));
    }

    QList<ShapeLayer> text;
    text.append({fitted(entry.label, font, l.labelBox), Fill::solid(entry.text), {}});
    if (!entry.sublabel.isEmpty())
        text.append({fitted(entry.sublabel, font, l.sublabelBox), Fill::solid(entry.text), {}});
    const quint16 label = movie.defineShape(text);

    for (int frame = 0; frame < kMovieFrames; ++frame) {
        Placement glowPlacement;
        glowPlacement.colorTransform = ColorTransform::alpha(glowAlpha(frame));
        Placement turn;
        if (turning) {
            // 45 degrees a loop: the star's eight points make the turn seamless.
            QTransform m;
            m.translate(centre.x(), centre.y());
            m.rotate(45.0 * frame / kMovieFrames);
            turn.matrix = m;
        }
        if (frame == 0) {
            movie.placeObject(1, face);
            if (turning)
                movie.placeObject(2, *turning, turn);
            movie.placeObject(3, glow, glowPlacement);
            movie.placeObject(4, label);
        } else {
            if (turning)
                movie.moveObject(2, turn);
            movie.moveObject(3, glowPlacement);
        }
        movie.showFrame();
    }
    return movie.build();
}

} // namespace velmora::book
