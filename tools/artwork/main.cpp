// velmora-artwork OUTDIR: paints the window picture, the program icon (.ico) and the
// desktop icons (hicolor PNGs) into OUTDIR.
#include "artwork.h"
#include "icowriter.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>

#include <cstdio>

using namespace velmora::artwork;

namespace {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool writeIcons(const QDir &out)
{
    const int sizes[] = {96, 72, 64, 48, 32, 16};
    QList<QImage> painted;
    for (int size : sizes)
        painted.append(paintProgramIcon(size));
    QList<IcoImage> entries;
    for (QImage &image : painted)
        entries.append({&image, IcoDepth::Bits24});
    for (QImage &image : painted)
        entries.append({&image, IcoDepth::Bits8});
    if (!writeFile(out.filePath("velmora.ico"), writeIco(entries)))
        return false;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QString dir = QStringLiteral("icons/hicolor/%1x%1/apps").arg(size);
        if (!out.mkpath(dir) || !paintProgramIcon(size).save(out.filePath(dir + "/velmora.png"), "PNG"))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen"); // a build step: no display needed
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: velmora-artwork OUTDIR\n");
        return 2;
    }
    QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(".")) {
        std::fprintf(stderr, "velmora-artwork: cannot create %s\n", argv[1]);
        return 1;
    }
    QImageWriter jpeg(out.filePath("window.jpg"), "jpeg");
    jpeg.setQuality(92);
    jpeg.setProgressiveScanWrite(false); // a baseline JPEG
    if (!jpeg.write(paintWindowPicture()) || !writeIcons(out)) {
        std::fprintf(stderr, "velmora-artwork: cannot write the artwork to %s\n", argv[1]);
        return 1;
    }
    return 0;
}
