// The description of the book's button movies (book/movies.tsv): one row per movie file.
#pragma once

#include "common/result.h"

#include <QColor>
#include <QList>
#include <QRect>
#include <QString>

namespace velmora::book {

struct MovieSpec {
    enum class Style { Top, Banner, Emblem, Chapter };
    QString file;    // "19.swf"
    int control = 0; // the number of the Flash control that shows it
    QRect rectTwips; // the control's rectangle in the window
    Style style = Style::Top;
    QColor colour1, colour2, text;
    QString label, sublabel; // sublabel may be empty
};

// Reads the table; a malformed row is an error naming its line.
Result<QList<MovieSpec>> parseMovieTable(const QString &text);
Result<QList<MovieSpec>> loadMovieTable(const QString &path);

} // namespace velmora::book
