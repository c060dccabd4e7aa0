// The contents page: its template with one absolutely placed line per chapter button, so that
// each button of the panel lies exactly over the line of its chapter.
#pragma once

#include "movietable.h"

namespace velmora::book {

// The browser view's top-left corner is at window (0, 1080) twips; 15 twips make a CSS pixel.
constexpr int kViewTopTwips = 1080;
constexpr int kTwipsPerCssPixel = 15;

// Replaces the marker "<!-- chapter lines -->" in `pageTemplate` with the lines of the chapter
// movies of `entries`. The marker must occur exactly once.
Result<QString> fillContentsPage(const QString &pageTemplate, const QList<MovieSpec> &entries);

} // namespace velmora::book
