// velmora-bookgen: makes the generated parts of the sample installation from the book's
// sources: the button movies, the contents page and the raster pictures.
//
//   velmora-bookgen --table movies.tsv --pic DIR --contents-template T --contents OUT --images DIR
//                   [--icon FILE.png]
#include "buttonmovie.h"
#include "contentspage.h"
#include "pictures.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QSaveFile>

#include <cstdio>

using namespace velmora;

namespace {

// One face for every label, chosen by name so that the outlines do not depend on the
// machine's font configuration.
const QString kLabelFamily = QStringLiteral("Noto Sans CJK SC");

int fail(const std::string &message)
{
    std::fprintf(stderr, "velmora-bookgen: %s\n", message.c_str());
    return 1;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.commit();
}

} // namespace

// NOLINTNEXTLINE(bugprone-exception-escape): each Result is read only after its check
int main(int argc, char **argv)
{
    // No window is shown; glyph outlines only need the font database.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Makes the generated files of the sample book.");
    parser.addHelpOption();
    const QCommandLineOption table("table", "The movie table.", "file");
    const QCommandLineOption pic("pic", "Folder for the button movies.", "dir");
    const QCommandLineOption contentsTemplate("contents-template", "Template of the contents page.", "file");
    const QCommandLineOption contents("contents", "The contents page to write.", "file");
    const QCommandLineOption images("images", "Folder for the raster pictures.", "dir");
    const QCommandLineOption icon("icon", "The program's 256-pixel icon to write (optional).", "file");
    parser.addOptions({table, pic, contentsTemplate, contents, images, icon});
    parser.process(app);
    for (const auto &o : {table, pic, contentsTemplate, contents, images})
        if (!parser.isSet(o))
            return fail("--" + o.names().first().toStdString() + " is required");

    Result<QList<book::MovieSpec>> entries = book::loadMovieTable(parser.value(table));
    if (!entries)
        return fail(entries.error().description);

    if (!QFontDatabase::families().contains(kLabelFamily))
        return fail("the font \"" + kLabelFamily.toStdString() +
                    "\" is not installed (Debian package fonts-noto-cjk)");
    QFont font(kLabelFamily);
    font.setStyleStrategy(QFont::NoFontMerging);
    font.setPixelSize(64);
    const QFontMetrics metrics(font);
    for (const book::MovieSpec &s : *entries)
        for (const QString &text : {s.label, s.sublabel})
            for (const uint c : text.toUcs4())
                if (c != ' ' && !metrics.inFontUcs4(c))
                    return fail(s.file.toStdString() + ": the label font has no glyph for U+" +
                                QString::number(c, 16).toUpper().toStdString());

    const QDir picDir(parser.value(pic));
    if (!QDir().mkpath(picDir.path()))
        return fail("cannot create " + picDir.path().toStdString());
    for (const book::MovieSpec &s : *entries)
        if (!writeFile(picDir.filePath(s.file), book::makeButtonMovie(s, font)))
            return fail("cannot write " + picDir.filePath(s.file).toStdString());

    QFile templateFile(parser.value(contentsTemplate));
    if (!templateFile.open(QIODevice::ReadOnly))
        return fail("cannot read " + parser.value(contentsTemplate).toStdString());
    Result<QString> page = book::fillContentsPage(QString::fromUtf8(templateFile.readAll()), *entries);
    if (!page)
        return fail(page.error().description);
    if (!writeFile(parser.value(contents), page->toUtf8()))
        return fail("cannot write " + parser.value(contents).toStdString());

    const QDir imageDir(parser.value(images));
    if (!QDir().mkpath(imageDir.path()))
        return fail("cannot create " + imageDir.path().toStdString());
    for (const auto &[name, image] : book::allPictures())
        if (!image.save(imageDir.filePath(name), "PNG"))
            return fail("cannot write " + imageDir.filePath(name).toStdString());
    if (parser.isSet(icon) && !book::paintAppIcon(256).save(parser.value(icon), "PNG"))
        return fail("cannot write " + parser.value(icon).toStdString());
    return 0;
}
