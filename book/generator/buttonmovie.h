// Draws one button movie of the book from its row in the movie table: a rounded face, the
// label as glyph outlines and a slow glow that loops every two seconds.
#pragma once

#include "movietable.h"

#include <QByteArray>
#include <QSize>

class QFont;

namespace velmora::book {

constexpr int kMovieFrames = 24;
constexpr double kMovieFrameRate = 12;

// `font` is the face for every label; its size does not matter (outlines are fitted).
QByteArray makeButtonMovie(const MovieSpec &entry, const QFont &font);

// The stage of a control's movie in movie twips (20 to the pixel): the control's size in pixels.
QSize movieStageTwips(const MovieSpec &entry);

// Strength of the glow in frame `i` (0-based) of the loop: rises and falls once, never off.
double glowAlpha(int frame);

} // namespace velmora::book
