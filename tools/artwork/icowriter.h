// Writes Windows .ico files: several images, each stored as a device-independent
// bitmap with an AND mask, in 24-bit or 8-bit (palette) colour.
#pragma once

#include <QByteArray>
#include <QList>

class QImage;

namespace velmora::artwork {

enum class IcoDepth { Bits24, Bits8 };

struct IcoImage {
    QImage *image; // square, at most 255 pixels; alpha < 128 becomes transparent
    IcoDepth depth;
};

// The .ico bytes holding the images in the order given.
QByteArray writeIco(const QList<IcoImage> &images);

} // namespace velmora::artwork
