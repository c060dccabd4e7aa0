// Label1's font: the window's own face where installed, otherwise a chosen fallback
// that keeps "Brevanto Team" whole inside its 113 x 17 pixel label.
#include "mainwindow/labelfont.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <gtest/gtest.h>

namespace velmora::mainwindow {
namespace {

const QString kCaption = QStringLiteral("Brevanto Team");
// Label1: 1695 x 255 twips.
constexpr QSize kBox(113, 17);

// The ink of `label` drawn on a transparent image: the box around every touched pixel.
QRect inkOf(QLabel &label)
{
    QImage image(label.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    label.render(&image, {}, {}, QWidget::DrawChildren);
    QRect ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0)
                ink |= QRect(x, y, 1, 1);
    return ink;
}

bool hasFamily(const char *family)
{
    return QFontDatabase::families().contains(QLatin1String(family), Qt::CaseInsensitive);
}

TEST(Label1Font, TheWindowsOwnFaceIsTakenWhereInstalled)
{
    const QFont font = label1Font(kCaption, kBox, {"DejaVu Sans", "Franklin Gothic Demi", "Noto Sans"});
    EXPECT_EQ(font.family(), QStringLiteral("Franklin Gothic Demi"));
    EXPECT_EQ(font.weight(), QFont::Normal); // the face is demi at its regular weight
    EXPECT_EQ(font.pixelSize(), 16);         // 12 points at 96 dpi
    EXPECT_FALSE(font.italic() || font.underline() || font.strikeOut());
}

// Which fallback the machine's fonts lead to. Rows whose faces are not installed here
// are skipped: the fit is measured with the real outlines.
TEST(Label1Font, AFallbackIsChosenInOrderAndKeepsTheCaptionWhole)
{
    const struct {
        const char *name;
        QStringList families;
        const char *needs; // installed face the row measures with
        const char *family;
        int stretch;
    } rows[] = {
        {"Noto and DejaVu", {"DejaVu Sans", "Noto Sans"}, "Noto Sans", "Noto Sans", QFont::SemiCondensed},
        {"DejaVu only", {"DejaVu Sans"}, "DejaVu Sans", "DejaVu Sans", QFont::Condensed},
        {"family names differ in case", {"noto sans"}, "Noto Sans", "Noto Sans", QFont::SemiCondensed},
        {"nothing known", {"Unheard Of Sans"}, nullptr, "Sans Serif", QFont::AnyStretch},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        if (row.needs && !hasFamily(row.needs)) {
            ADD_FAILURE() << row.needs << " is not installed (scripts/install-deps installs it)";
            continue;
        }
        const QFont font = label1Font(kCaption, kBox, row.families);
        EXPECT_EQ(font.family(), QLatin1String(row.family));
        if (row.stretch != QFont::AnyStretch) {
            EXPECT_EQ(font.stretch(), row.stretch);
        }
        EXPECT_GE(font.weight(), QFont::DemiBold);
        EXPECT_TRUE(captionFits(font, kCaption, kBox));
        EXPECT_FALSE(font.italic() || font.underline() || font.strikeOut());
    }
}

TEST(Label1Font, AFaceTooWideForTheLabelIsPassedOver)
{
    // DejaVu Sans at its full width is 135 pixels wide in bold: too wide for 113.
    if (!hasFamily("DejaVu Sans"))
        GTEST_SKIP() << "DejaVu Sans is not installed";
    QFont wide(QStringLiteral("DejaVu Sans"));
    wide.setPixelSize(16);
    wide.setWeight(QFont::Bold);
    EXPECT_FALSE(captionFits(wide, kCaption, kBox));
    const QFont chosen = label1Font(kCaption, kBox, {"DejaVu Sans"});
    EXPECT_LT(chosen.stretch(), QFont::Unstretched);
    EXPECT_TRUE(captionFits(chosen, kCaption, kBox));
}

TEST(Label1Font, ALabelFarTooSmallGetsASmallerFontNotALoop)
{
    // Narrowing alone cannot fit 13 letters into 40 pixels; the size comes down, within bounds.
    const QSize tiny(40, 17);
    const QFont font = label1Font(kCaption, tiny, {"Noto Sans", "DejaVu Sans"});
    EXPECT_LT(font.pixelSize(), 16);
    EXPECT_GE(font.pixelSize(), 8);
    EXPECT_EQ(font.stretch(), QFont::ExtraCondensed);
}

// The fault this font choice fixes: with the default face the label showed "Brevanto Tean".
// Drawn in its own rectangle, the caption's ink must equal its ink in a roomy label.
TEST(Label1Font, TheCaptionIsDrawnWholeInItsRectangle)
{
    const QFont font = label1Font(kCaption, kBox);
    QLabel fitted(kCaption);
    fitted.setFont(font);
    fitted.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    fitted.resize(kBox);
    QLabel roomy(kCaption);
    roomy.setFont(font);
    roomy.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    roomy.resize(kBox + QSize(100, 40));
    const QRect fittedInk = inkOf(fitted);
    const QRect roomyInk = inkOf(roomy);
    ASSERT_FALSE(roomyInk.isEmpty());
    EXPECT_EQ(fittedInk.size(), roomyInk.size()) << "clipped: the label's ink is smaller than the caption's";
    // The letters are of the design's size: capitals about 11 to 12 pixels high.
    EXPECT_GE(fittedInk.height(), 10);
    EXPECT_GE(fittedInk.width(), 90);
}

} // namespace
} // namespace velmora::mainwindow
