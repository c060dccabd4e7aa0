#include "installfolder.h"

#include "content/jetwriter.h"
#include "mainwindow/mainformtables.h"
#include "swfwriter.h"

#include <fstream>

namespace velmora::testing {

InstallFolder::InstallFolder(const InstallOptions &options)
{
    if (!m_dir.isValid())
        return;
    const std::filesystem::path base = root();
    std::filesystem::create_directories(base / "res" / "Chapter");
    std::filesystem::create_directories(base / "pic");
    if (options.database) {
        content::BookTable table;
        table.tableName = options.table;
        table.fieldType = options.fieldType;
        for (int k = 0; k < options.records; ++k) {
            const auto given = static_cast<size_t>(k);
            table.rows.push_back(given < options.recordDocuments.size() ? options.recordDocuments[given]
                                                                        : recordDocument(k));
        }
        content::JetWriteOptions write;
        write.password = options.password;
        content::writeJetDatabase(base / "res" / "Chapter" / "szh.dll", table, write).check();
    }
    if (options.pages) {
        writeFile("res/1p.html", pageDocument("Velmora 0", pageColor(0)));
        writeFile("res/2p.html", pageDocument("Velmora 1", pageColor(1)));
        writeFile("res/3p.html", pageDocument("Velmora 2", pageColor(2)));
        for (int n = 1; n <= 5; ++n)
            writeFile("res/Chapter/" + std::to_string(n) + ".html",
                      pageDocument("Velmora " + std::to_string(2 + n), pageColor(2 + n)));
    }
    if (options.movies) {
        for (const mainwindow::ButtonMovie &entry : mainwindow::movieTable()) {
            const mainwindow::ButtonPlace place = mainwindow::buttonPlace(entry.control);
            const QSize size(std::max(1, place.rect.width / 15), std::max(1, place.rect.height / 15));
            const QByteArray bytes =
                movieBytes(size, QColor::fromHsv((entry.control * 37) % 360, 200, 220), true);
            // "\pic\help.swf" -> "pic/help.swf"
            writeFile(entry.movie.mid(1).replace(u'\\', u'/').toStdString(), bytes.toStdString());
        }
    }
}

void InstallFolder::writeFile(const std::string &relative, const std::string &bytes) const
{
    const std::filesystem::path file = root() / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void InstallFolder::remove(const std::string &relative) const
{
    std::filesystem::remove(root() / relative);
}

QColor InstallFolder::pageColor(int page)
{
    switch (page) {
    case 0:
        return firstPageColor();
    case 1:
        return QColor(0xcc, 0x66, 0x33);
    case 2:
        return QColor(0x33, 0xcc, 0x66);
    default:
        return page < 8 ? QColor(0x20 * (page - 2), 0x80, 0x80) : QColor(Qt::white);
    }
}

std::string InstallFolder::recordDocument(int k)
{
    return "<html><head><meta charset=\"utf-8\"><title>record " + std::to_string(k) +
           "</title></head><body><p id=t>记录 " + std::to_string(k) + "</p></body></html>";
}

std::string InstallFolder::pageDocument(const std::string &title, const QColor &background)
{
    return "<html><head><meta charset=\"utf-8\"><title>" + title +
           "</title></head><body style=\"margin:0;background:" + background.name().toStdString() +
           "\"><p id=t>" + title + "</p></body></html>";
}

QByteArray InstallFolder::movieBytes(QSize sizePx, const QColor &color, bool animated)
{
    swfwriter::MovieBuilder movie(sizePx);
    movie.setBackgroundColor(Qt::white);
    movie.setFrameRate(12);
    QPainterPath box;
    const int w = sizePx.width() * swfwriter::kTwipsPerPixel;
    const int h = sizePx.height() * swfwriter::kTwipsPerPixel;
    box.addRect(0, 0, w, h);
    const quint16 shape = movie.defineShape(box, swfwriter::Fill::solid(color));
    movie.placeObject(1, shape);
    movie.showFrame();
    if (animated) {
        swfwriter::Placement shrink;
        shrink.matrix = QTransform::fromScale(0.5, 0.5);
        movie.moveObject(1, shrink);
        movie.showFrame();
    }
    return movie.build();
}

} // namespace velmora::testing
