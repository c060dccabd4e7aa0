#include "mainwindow/labelfont.h"

#include <QFontDatabase>
#include <QFontMetrics>

#include <array>

namespace velmora::mainwindow {
namespace {

// The generic family: fontconfig always answers it with some installed sans-serif.
constexpr const char *kGenericSans = "Sans Serif";

constexpr std::array<LabelFace, 7> kFaces{{
    {"Franklin Gothic Demi", QFont::Normal, QFont::Unstretched}, // its regular weight is already demi
    // Noto Sans's own semi-condensed semi-bold, where the font package ships that width.
    {"Noto Sans SemiCondensed SemiBold", QFont::Normal, QFont::Unstretched},
    {"Noto Sans SemiCondensed", QFont::DemiBold, QFont::Unstretched},
    // Debian 12's Noto Sans has Regular and Bold only: Bold, narrowed to semi-condensed,
    // comes closest to a demi grotesque of the same width.
    {"Noto Sans", QFont::DemiBold, QFont::SemiCondensed},
    {"DejaVu Sans", QFont::Bold, QFont::Condensed},
    {"Liberation Sans Narrow", QFont::Bold, QFont::Unstretched},
    {kGenericSans, QFont::DemiBold, QFont::SemiCondensed},
}};

QFont makeFont(const LabelFace &face, int pixelSize, int stretch)
{
    QFont font(QString::fromLatin1(face.family));
    font.setPixelSize(pixelSize);
    font.setWeight(face.weight);
    font.setStretch(stretch);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

bool installed(const QStringList &families, const char *family)
{
    return qstrcmp(family, kGenericSans) == 0 ||
           families.contains(QLatin1String(family), Qt::CaseInsensitive);
}

} // namespace

std::span<const LabelFace> label1Faces()
{
    return kFaces;
}

bool captionFits(const QFont &font, const QString &caption, QSize box)
{
    const QFontMetricsF metrics(font);
    // As QLabel lays out a single line: the line box centred in the label, text on its baseline.
    const qreal baseline = (box.height() - metrics.height()) / 2 + metrics.ascent();
    const QRectF ink = metrics.tightBoundingRect(caption);
    return metrics.horizontalAdvance(caption) <= box.width() && ink.left() >= 0 &&
           ink.right() <= box.width() && baseline + ink.top() >= 0 && baseline + ink.bottom() <= box.height();
}

QFont label1Font(const QString &caption, QSize box, const QStringList &families)
{
    const LabelFace &own = kFaces.front();
    if (installed(families, own.family))
        return makeFont(own, kLabel1PixelSize, own.stretch);
    const LabelFace *firstInstalled = nullptr;
    for (const LabelFace &face : std::span(kFaces).subspan(1)) {
        if (!installed(families, face.family))
            continue;
        if (!firstInstalled)
            firstInstalled = &face;
        const QFont font = makeFont(face, kLabel1PixelSize, face.stretch);
        if (captionFits(font, caption, box))
            return font;
    }
    // Nothing fits as it is: narrower first (the height is the design's), then smaller.
    // Bounded: at the smallest size tried the font is returned whether it fits or not.
    const LabelFace &face = *firstInstalled; // the generic family is always there
    for (int stretch = face.stretch - 5; stretch >= QFont::ExtraCondensed; stretch -= 5) {
        const QFont font = makeFont(face, kLabel1PixelSize, stretch);
        if (captionFits(font, caption, box))
            return font;
    }
    for (int pixelSize = kLabel1PixelSize - 1; pixelSize > 8; --pixelSize) {
        const QFont font = makeFont(face, pixelSize, QFont::ExtraCondensed);
        if (captionFits(font, caption, box))
            return font;
    }
    return makeFont(face, 8, QFont::ExtraCondensed);
}

QFont label1Font(const QString &caption, QSize box)
{
    return label1Font(caption, box, QFontDatabase::families());
}

} // namespace velmora::mainwindow
