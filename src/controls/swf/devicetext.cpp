#include "controls/swf/devicetext.h"

#include "controls/swf/devicefonts.h"
#include "controls/swf/fieldtext.h"

#include <QGuiApplication>
#include <QPainter>
#include <QTextLayout>

#include <cmath>

namespace velmora::swf {

namespace {

constexpr double kGutter = 40;        // field contents sit two pixels inside the bounds
constexpr double kBulletIndent = 360; // a list item's text starts 18 pixels in
constexpr int kDefaultSize = 240;     // 12 pixels, for a field that names no size
constexpr double kMaxDevicePixels = 2000;

QFont spanFont(const SpanFormat &format)
{
    QFont font = deviceFont(decodeFontName(format.face), format.bold, format.italic, format.size);
    font.setUnderline(format.underline);
    font.setKerning(format.kerning);
    if (format.letterSpacing != 0)
        font.setLetterSpacing(QFont::AbsoluteSpacing, format.letterSpacing);
    return font;
}

void addRuns(DeviceText &out, const QList<QGlyphRun> &runs, Rgba color)
{
    for (const QGlyphRun &run : runs) {
        if (!run.glyphIndexes().isEmpty())
            out.runs.push_back({run, color, {}});
    }
}

Qt::Alignment qtAlignment(int align)
{
    switch (align) {
    case 1:
        return Qt::AlignRight;
    case 2:
        return Qt::AlignHCenter;
    case 3:
        return Qt::AlignJustify;
    default:
        return Qt::AlignLeft;
    }
}

// A list item's bullet, on the baseline of the item's first line.
void addBullet(DeviceText &out, const SpanFormat &format, double x, double baseline)
{
    QTextLayout bullet(QString(QChar(0x2022)), spanFont(format));
    bullet.beginLayout();
    QTextLine line = bullet.createLine();
    bullet.endLayout();
    if (!line.isValid())
        return;
    line.setPosition(QPointF(x, baseline - line.ascent()));
    addRuns(out, bullet.glyphRuns(), format.color);
}

// Lays out one paragraph from `top` down; returns the top of the next one.
double layoutParagraph(DeviceText &out, const TextParagraph &paragraph, const SpanFormat &fieldFormat,
                       const EditText &text, double top)
{
    QString string;
    QList<QTextLayout::FormatRange> ranges;
    std::vector<std::pair<int, int>> spans; // start and length in `string`
    for (const TextSpan &span : paragraph.spans) {
        const int start = static_cast<int>(string.size());
        for (const char32_t c : span.text)
            string += c == 0x2028 ? QString(QChar::LineSeparator) : QString::fromUcs4(&c, 1);
        QTextCharFormat format;
        format.setFont(spanFont(span.format), QTextCharFormat::FontPropertiesAll);
        ranges.append({start, static_cast<int>(string.size()) - start, format});
        spans.emplace_back(start, static_cast<int>(string.size()) - start);
    }
    const SpanFormat &first = paragraph.spans.empty() ? fieldFormat : paragraph.spans.front().format;
    QTextLayout layout(string, spanFont(first));
    layout.setFormats(ranges);
    QTextOption option(qtAlignment(paragraph.align));
    option.setWrapMode(text.wordWrap ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    layout.setTextOption(option);

    const double left =
        text.bounds.xMin + kGutter + paragraph.leftMargin + (paragraph.bullet ? kBulletIndent : 0);
    const double width = text.bounds.xMax - kGutter - paragraph.rightMargin - left;
    double y = top, firstBaseline = 0;
    layout.beginLayout();
    for (bool firstLine = true; y < text.bounds.yMax; firstLine = false) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        const double indent = firstLine ? paragraph.indent : 0;
        line.setLineWidth(std::max(1.0, width - indent));
        line.setPosition(QPointF(left + indent, y));
        if (firstLine)
            firstBaseline = y + line.ascent();
        y += line.ascent() + line.descent() + paragraph.leading;
    }
    layout.endLayout();
    if (paragraph.bullet && !paragraph.spans.empty())
        addBullet(out, first, left - kBulletIndent + kBulletIndent / 4, firstBaseline);
    for (std::size_t i = 0; i < spans.size(); ++i)
        addRuns(out, layout.glyphRuns(spans[i].first, spans[i].second), paragraph.spans[i].format.color);
    return y;
}

// A whole-pixel line under glyphs on the pixel grid, from the first origin to the last
// glyph's advance.
void underline(QPainter &painter, const QGlyphRun &glyphs)
{
    const QRawFont &font = glyphs.rawFont();
    const QList<QPointF> positions = glyphs.positions();
    const QList<QPointF> advances = font.advancesForGlyphIndexes(glyphs.glyphIndexes());
    if (positions.isEmpty() || advances.size() != positions.size())
        return;
    const double right = std::round(positions.back().x() + advances.back().x());
    const double thickness = std::max(1.0, std::round(font.lineThickness()));
    const double y = positions.front().y() + std::max(1.0, std::round(font.underlinePosition()));
    painter.fillRect(QRectF(positions.front().x(), y, right - positions.front().x(), thickness),
                     painter.pen().color());
}

} // namespace

bool deviceFontsAvailable()
{
    return qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr;
}

DeviceText layoutDeviceEditText(const EditText &text, const Font *font)
{
    DeviceText out;
    out.clip =
        QRectF(QPointF(text.bounds.xMin, text.bounds.yMin), QPointF(text.bounds.xMax, text.bounds.yMax));
    SpanFormat base;
    if (font) {
        base.face = font->name;
        base.bold = font->bold;
        base.italic = font->italic;
    }
    base.size = text.height > 0 ? text.height : kDefaultSize;
    base.color = text.color;
    double y = text.bounds.yMin + kGutter;
    for (const TextParagraph &paragraph : fieldParagraphs(text, base)) {
        if (y >= text.bounds.yMax)
            break;
        y = layoutParagraph(out, paragraph, base, text, y);
    }
    return out;
}

DeviceText layoutDeviceStaticText(const StaticText &text, const Movie &movie)
{
    DeviceText out;
    for (const TextRecord &record : text.records) {
        const auto *font = movie.find<Font>(record.fontId);
        if (!font || font->hasOutlines() || record.height <= 0)
            continue;
        // The record places every character itself; the system font only draws them.
        const QFont qfont = deviceFont(decodeFontName(font->name), font->bold, font->italic, record.height);
        const QStringList families = qfont.families();
        QFont fallbackFont = qfont;
        fallbackFont.setFamilies(families.mid(1));
        const QRawFont primary = QRawFont::fromFont(qfont), fallback = QRawFont::fromFont(fallbackFont);
        double x = record.x;
        for (const TextGlyph &g : record.glyphs) {
            if (g.index < font->codes.size()) {
                const char32_t code = font->codes[g.index];
                const QRawFont &raw = primary.supportsCharacter(code) ? primary : fallback;
                const QList<quint32> indexes = raw.glyphIndexesForString(QString::fromUcs4(&code, 1));
                if (!indexes.isEmpty() && indexes.front() != 0) {
                    QGlyphRun run;
                    run.setRawFont(raw);
                    run.setGlyphIndexes({indexes.front()});
                    run.setPositions({QPointF(x, record.y)});
                    out.runs.push_back({run, record.color, {}});
                }
            }
            x += g.advance;
        }
    }
    return out;
}

void paintDeviceText(QPainter &painter, const DeviceText &text, const QTransform &world,
                     const ColorTransform &cx)
{
    if (text.runs.empty())
        return;
    painter.save();
    if (text.clip) {
        painter.setTransform(world);
        painter.setClipRect(*text.clip, Qt::IntersectClip);
    }
    // Upright text goes on the pixel grid; turned or mirrored text is drawn as it lies.
    const bool upright = world.type() <= QTransform::TxScale && world.m11() > 0 && world.m22() > 0;
    painter.setRenderHint(QPainter::TextAntialiasing, !upright);
    for (const DeviceGlyphs &run : text.runs) {
        const Rgba c = cx.apply(run.color);
        painter.setPen(QColor(c.r, c.g, c.b, c.a));
        if (!upright) {
            painter.setTransform(world);
            painter.drawGlyphRun(QPointF(), run.glyphs);
            continue;
        }
        const double size =
            std::clamp(std::round(run.glyphs.rawFont().pixelSize() * world.m22()), 1.0, kMaxDevicePixels);
        if (!run.deviceFont.isValid() || run.deviceFont.pixelSize() != size) {
            run.deviceFont = run.glyphs.rawFont();
            run.deviceFont.setPixelSize(size);
        }
        QList<QPointF> positions = run.glyphs.positions();
        for (QPointF &p : positions) {
            const QPointF device = world.map(p);
            p = QPointF(std::round(device.x()), std::round(device.y()));
        }
        QGlyphRun glyphs = run.glyphs;
        glyphs.setRawFont(run.deviceFont);
        glyphs.setPositions(positions);
        glyphs.setUnderline(false);
        painter.resetTransform();
        painter.drawGlyphRun(QPointF(), glyphs);
        if (run.glyphs.underline())
            underline(painter, glyphs);
    }
    painter.restore();
}

const DeviceText &DeviceTextCache::editText(const EditText &text, const Font *font)
{
    auto it = m_texts.find(&text);
    if (it == m_texts.end())
        it = m_texts.emplace(&text, layoutDeviceEditText(text, font)).first;
    return it->second;
}

const DeviceText &DeviceTextCache::staticText(const StaticText &text, const Movie &movie)
{
    auto it = m_texts.find(&text);
    if (it == m_texts.end())
        it = m_texts.emplace(&text, layoutDeviceStaticText(text, movie)).first;
    return it->second;
}

} // namespace velmora::swf
