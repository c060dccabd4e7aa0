// The book's raster illustrations, painted here so that every picture is our own.
#pragma once

#include <QImage>
#include <QString>

namespace velmora::book {

// Evening over the lake: hills, water, the town's lights and a ferry.
QImage paintLakePostcard();
// A string of paper lanterns over the night market.
QImage paintLanterns();

// The program's icon for desktop menus: the book's compass rose on a round badge.
QImage paintAppIcon(int size);

// Every picture with its file name, e.g. {"lake.png", image}.
QList<std::pair<QString, QImage>> allPictures();

} // namespace velmora::book
