#include "artwork.h"
#include "icowriter.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace velmora::artwork;

namespace {

struct IcoEntry {
    int width;
    int height;
    int bitCount;
    quint32 bytes;
    quint32 offset;
};

// Reads the directory of an .ico file: 6-byte header, then 16 bytes per image.
QList<IcoEntry> icoDirectory(const QByteArray &ico)
{
    QList<IcoEntry> entries;
    const auto *d = reinterpret_cast<const uchar *>(ico.constData());
    const int count = qFromLittleEndian<quint16>(d + 4);
    for (int i = 0; i < count; ++i) {
        const uchar *e = d + 6 + std::ptrdiff_t{16} * i;
        entries.append({e[0], e[1], qFromLittleEndian<quint16>(e + 6), qFromLittleEndian<quint32>(e + 8),
                        qFromLittleEndian<quint32>(e + 12)});
    }
    return entries;
}

QByteArray programIcon()
{
    QList<QImage> painted;
    for (int size : {96, 72, 64, 48, 32, 16})
        painted.append(paintProgramIcon(size));
    QList<IcoImage> entries;
    for (IcoDepth depth : {IcoDepth::Bits24, IcoDepth::Bits8}) {
        for (QImage &image : painted)
            entries.append({&image, depth});
    }
    return writeIco(entries);
}

} // namespace

TEST(ProgramIcon, TwelveImagesInTwoDepthsAndTheExpectedFileSize)
{
    const QByteArray ico = programIcon();
    // Six sizes in 24-bit and 8-bit colour, each with its mask, come to exactly this size.
    EXPECT_EQ(ico.size(), 101350);

    const QList<IcoEntry> entries = icoDirectory(ico);
    ASSERT_EQ(entries.size(), 12);
    const int sizes[] = {96, 72, 64, 48, 32, 16};
    quint32 expectedOffset = 6 + 16 * 12;
    for (int i = 0; i < 12; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(entries[i].width, sizes[i % 6]);
        EXPECT_EQ(entries[i].height, sizes[i % 6]);
        EXPECT_EQ(entries[i].bitCount, i < 6 ? 24 : 8);
        EXPECT_EQ(entries[i].offset, expectedOffset);
        expectedOffset += entries[i].bytes;
    }
    EXPECT_EQ(expectedOffset, static_cast<quint32>(ico.size()));
}

// Whether the AND mask marks pixel (x, y) of image `entry` transparent. Rows run bottom-up.
static bool maskedOut(const QByteArray &ico, const IcoEntry &entry, int x, int y)
{
    const int paletteBytes = entry.bitCount == 8 ? 256 * 4 : 0;
    const int colourStride = ((entry.width * entry.bitCount + 31) / 32) * 4;
    const qsizetype maskStride = qsizetype{(entry.width + 31) / 32} * 4;
    const qsizetype maskStart =
        entry.offset + 40 + paletteBytes + static_cast<qsizetype>(colourStride) * entry.height;
    const char byte = ico.at(maskStart + (entry.height - 1 - y) * maskStride + x / 8);
    return (static_cast<uchar>(byte) & (0x80 >> (x % 8))) != 0;
}

TEST(ProgramIcon, EveryImageDecodesWithMaskedCornersAndAnOpaqueCentre)
{
    QByteArray ico = programIcon();
    const QList<IcoEntry> entries = icoDirectory(ico);
    QBuffer buffer(&ico);
    QImageReader reader(&buffer, "ico");
    ASSERT_EQ(reader.imageCount(), 12);
    for (int i = 0; i < 12; ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(reader.jumpToImage(i));
        const QImage image = reader.read();
        ASSERT_EQ(image.width(), entries[i].width);
        const int c = image.width() / 2;
        EXPECT_TRUE(maskedOut(ico, entries[i], 0, 0));
        EXPECT_TRUE(maskedOut(ico, entries[i], image.width() - 1, image.height() - 1));
        EXPECT_FALSE(maskedOut(ico, entries[i], c, c));
        EXPECT_NE(image.pixelColor(c, c), QColor(Qt::black));
    }
}

TEST(WindowPicture, BaselineJpegOfTheWindowSizeWithAWhitePageUnderTheBand)
{
    const QImage picture = paintWindowPicture();
    EXPECT_EQ(picture.size(), QSize(1000, 768));
    EXPECT_EQ(picture.pixelColor(500, 400), QColor(Qt::white)); // under the browser view
    EXPECT_EQ(picture.pixelColor(950, 705), QColor(Qt::white)); // behind the maker's name
    EXPECT_LT(picture.pixelColor(500, 40).lightness(), 128);    // the band behind the buttons

    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(false);
    ASSERT_TRUE(writer.write(picture));
    EXPECT_TRUE(jpeg.contains("\xFF\xC0")) << "expected a baseline frame header (SOF0)";
    EXPECT_FALSE(jpeg.contains("\xFF\xC2")) << "a progressive frame header (SOF2) was written";
}
