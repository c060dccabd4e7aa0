#include "icowriter.h"

#include <QImage>
#include <QtEndian>

namespace velmora::artwork {
namespace {

void appendLe16(QByteArray &out, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void appendLe32(QByteArray &out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

int rowBytes(int width, int bitsPerPixel)
{
    return ((width * bitsPerPixel + 31) / 32) * 4;
}

// DIB rows run bottom-up; the mask has a 1 bit where the icon is transparent.
QByteArray andMask(const QImage &argb)
{
    const qsizetype stride = rowBytes(argb.width(), 1);
    QByteArray mask(stride * argb.height(), '\0');
    for (int y = 0; y < argb.height(); ++y) {
        char *row = mask.data() + (argb.height() - 1 - y) * stride;
        for (int x = 0; x < argb.width(); ++x) {
            if (qAlpha(argb.pixel(x, y)) < 128)
                row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
        }
    }
    return mask;
}

QByteArray pixels24(const QImage &argb)
{
    const qsizetype stride = rowBytes(argb.width(), 24);
    QByteArray data(stride * argb.height(), '\0');
    for (int y = 0; y < argb.height(); ++y) {
        char *row = data.data() + (argb.height() - 1 - y) * stride;
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb p = argb.pixel(x, y);
            row[std::ptrdiff_t{3} * x] = static_cast<char>(qBlue(p));
            row[3 * x + 1] = static_cast<char>(qGreen(p));
            row[3 * x + 2] = static_cast<char>(qRed(p));
        }
    }
    return data;
}

// A 256-entry palette (BGR0) followed by the index rows.
QByteArray pixels8(const QImage &argb)
{
    const QImage indexed =
        argb.convertToFormat(QImage::Format_RGB32)
            .convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
    QByteArray data;
    const QList<QRgb> table = indexed.colorTable();
    for (int i = 0; i < 256; ++i) {
        const QRgb c = i < table.size() ? table[i] : 0;
        data.append(static_cast<char>(qBlue(c)));
        data.append(static_cast<char>(qGreen(c)));
        data.append(static_cast<char>(qRed(c)));
        data.append('\0');
    }
    const int stride = rowBytes(indexed.width(), 8);
    for (int y = indexed.height() - 1; y >= 0; --y) {
        QByteArray row(reinterpret_cast<const char *>(indexed.constScanLine(y)), indexed.width());
        row.append(QByteArray(stride - indexed.width(), '\0'));
        data.append(row);
    }
    return data;
}

QByteArray dib(const IcoImage &entry)
{
    const QImage argb = entry.image->convertToFormat(QImage::Format_ARGB32);
    const bool bits8 = entry.depth == IcoDepth::Bits8;
    const QByteArray colour = bits8 ? pixels8(argb) : pixels24(argb);
    const QByteArray mask = andMask(argb);
    QByteArray out;
    appendLe32(out, 40); // BITMAPINFOHEADER
    appendLe32(out, static_cast<quint32>(argb.width()));
    appendLe32(out, static_cast<quint32>(argb.height() * 2)); // colour rows + mask rows
    appendLe16(out, 1);
    appendLe16(out, bits8 ? 8 : 24);
    appendLe32(out, 0); // uncompressed
    const int paletteBytes = bits8 ? 256 * 4 : 0;
    appendLe32(out, static_cast<quint32>(colour.size() - paletteBytes + mask.size()));
    appendLe32(out, 0);
    appendLe32(out, 0);
    appendLe32(out, 0);
    appendLe32(out, 0);
    out.append(colour);
    out.append(mask);
    return out;
}

} // namespace

QByteArray writeIco(const QList<IcoImage> &images)
{
    QList<QByteArray> bodies;
    for (const IcoImage &entry : images)
        bodies.append(dib(entry));

    QByteArray out;
    appendLe16(out, 0);
    appendLe16(out, 1); // icon resource
    appendLe16(out, static_cast<quint16>(images.size()));
    quint32 offset = 6 + 16 * static_cast<quint32>(images.size());
    for (int i = 0; i < images.size(); ++i) {
        const int size = images[i].image->width();
        out.append(static_cast<char>(size));
        out.append(static_cast<char>(size));
        out.append('\0'); // colour count: 0 for 256 colours and more
        out.append('\0');
        appendLe16(out, 1);
        appendLe16(out, images[i].depth == IcoDepth::Bits8 ? 8 : 24);
        appendLe32(out, static_cast<quint32>(bodies[i].size()));
        appendLe32(out, offset);
        offset += static_cast<quint32>(bodies[i].size());
    }
    for (const QByteArray &body : bodies)
        out.append(body);
    return out;
}

} // namespace velmora::artwork
