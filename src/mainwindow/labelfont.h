// The font of Label1, the maker's name: the face the window was drawn for where the
// machine has it, otherwise a close sans-serif chosen so that the caption stays whole.
#pragma once

#include <QFont>
#include <QSize>
#include <QStringList>

#include <span>

namespace velmora::mainwindow {

struct LabelFace {
    const char *family;
    QFont::Weight weight;
    int stretch; // percent; where the face has no such width, Qt narrows its outlines
};

// 12 points at 96 dpi. Given in pixels so that the caption scales with the twips of the
// layout (logical pixels), not with the desktop's font DPI setting.
inline constexpr int kLabel1PixelSize = 16;

// The faces tried, best first: the window's own face, then semi-bold semi-condensed
// sans-serifs closest to it in colour and width, then the generic sans-serif.
std::span<const LabelFace> label1Faces();

// Whether `caption` in `font`, left-aligned and centred vertically in a label of `box`
// logical pixels, keeps all its ink inside the box.
bool captionFits(const QFont &font, const QString &caption, QSize box);

// The first face of label1Faces() that `families` holds and that fits `caption` into
// `box` (the window's own face is taken as it is: the label was sized for it). When no
// face fits, the first installed fallback is narrowed, then made smaller, until it does.
QFont label1Font(const QString &caption, QSize box, const QStringList &families);
// The same over the faces installed on this machine.
QFont label1Font(const QString &caption, QSize box);

} // namespace velmora::mainwindow
