#include "contentspage.h"

#include <QRegularExpression>

namespace velmora::book {

namespace {

constexpr long kBadTemplate = 1002;
const QString kMarker = QStringLiteral("<!-- chapter lines -->");

QString cssPixels(int twips)
{
    // Exact to a hundredth of a pixel; trailing zeros dropped ("299.13", "128").
    return QString::number(static_cast<double>(twips) / kTwipsPerCssPixel, 'f', 2)
        .remove(QRegularExpression(QStringLiteral("\\.?0+$")));
}

} // namespace

Result<QString> fillContentsPage(const QString &pageTemplate, const QList<MovieSpec> &entries)
{
    if (pageTemplate.count(kMarker) != 1)
        return Error(kBadTemplate,
                     "contents template: the marker " + kMarker.toStdString() + " must occur once");
    QString lines;
    for (const MovieSpec &s : entries) {
        if (s.style != MovieSpec::Style::Chapter)
            continue;
        const QRect &r = s.rectTwips;
        lines +=
            QStringLiteral(
                "<div class=\"line\" id=\"chapter%1\" style=\"left:%2px;top:%3px;width:%4px;height:%5px\">"
                "%6</div>\n")
                .arg(s.control)
                .arg(cssPixels(r.left()), cssPixels(r.top() - kViewTopTwips), cssPixels(r.width()),
                     cssPixels(r.height()), s.label.toHtmlEscaped());
    }
    QString page = pageTemplate;
    page.replace(kMarker, lines);
    return page;
}

} // namespace velmora::book
