#include "movietable.h"

#include <QFile>

namespace velmora::book {

namespace {

constexpr long kBadTable = 1001;

std::optional<MovieSpec::Style> styleNamed(const QString &name)
{
    if (name == "top")
        return MovieSpec::Style::Top;
    if (name == "banner")
        return MovieSpec::Style::Banner;
    if (name == "emblem")
        return MovieSpec::Style::Emblem;
    if (name == "chapter")
        return MovieSpec::Style::Chapter;
    return std::nullopt;
}

Error rowError(int line, const std::string &what)
{
    return Error(kBadTable, "movie table line " + std::to_string(line) + ": " + what);
}

} // namespace

Result<QList<MovieSpec>> parseMovieTable(const QString &text)
{
    QList<MovieSpec> entries;
    const QStringList lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QStringList f = lines[i].split('\t');
        if (f.size() != 12)
            return rowError(i + 1, "expected 12 tab-separated fields, found " + std::to_string(f.size()));
        MovieSpec s;
        s.file = f[0].trimmed();
        bool ok[5] = {};
        s.control = f[1].toInt(&ok[0]);
        s.rectTwips = QRect(f[2].toInt(&ok[1]), f[3].toInt(&ok[2]), f[4].toInt(&ok[3]), f[5].toInt(&ok[4]));
        for (bool b : ok)
            if (!b)
                return rowError(i + 1, "control and rectangle must be whole numbers");
        if (s.rectTwips.width() <= 0 || s.rectTwips.height() <= 0)
            return rowError(i + 1, "the rectangle is empty");
        const auto style = styleNamed(f[6].trimmed());
        if (!style)
            return rowError(i + 1, "unknown style \"" + f[6].toStdString() + "\"");
        s.style = *style;
        s.colour1 = QColor(f[7].trimmed());
        s.colour2 = QColor(f[8].trimmed());
        s.text = QColor(f[9].trimmed());
        if (!s.colour1.isValid() || !s.colour2.isValid() || !s.text.isValid())
            return rowError(i + 1, "a colour is not valid");
        s.label = f[10].trimmed();
        s.sublabel = f[11].trimmed() == "-" ? QString() : f[11].trimmed();
        if (s.file.isEmpty() || s.label.isEmpty())
            return rowError(i + 1, "file name and label must not be empty");
        entries.append(s);
    }
    return entries;
}

Result<QList<MovieSpec>> loadMovieTable(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return Error(kBadTable, "cannot read the movie table " + path.toStdString());
    return parseMovieTable(QString::fromUtf8(f.readAll()));
}

} // namespace velmora::book
