#include "avm1corpus.h"

#include "controls/swf/avm1/headless.h"
#include "controls/swf/player.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace velmora::swf::avm1corpus {

using namespace velmora::swf::avm1;

QString corpusDir()
{
    return QStringLiteral(VELMORA_SHARED_DIR "/corpus/avm1");
}

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The [approximations] of a test.toml (three tests carry them).
struct Approximations {
    bool present = false;
    bool bareNumbers = false;
    double epsilon = 0;
    std::vector<QRegularExpression> patterns;
};

Approximations readApproximations(const QString &toml)
{
    Approximations a;
    const qsizetype at = toml.indexOf(QLatin1String("[approximations]"));
    if (at < 0)
        return a;
    a.present = true;
    const QString section = toml.mid(at);
    a.bareNumbers = section.contains(QRegularExpression(QStringLiteral("bare_numbers\\s*=\\s*true")));
    const auto eps = QRegularExpression(QStringLiteral("epsilon\\s*=\\s*([0-9.eE+-]+)")).match(section);
    if (eps.hasMatch())
        a.epsilon = eps.captured(1).toDouble();
    const auto list = QRegularExpression(QStringLiteral("number_patterns\\s*=\\s*\\[(.*)\\]")).match(section);
    if (list.hasMatch()) {
        auto items =
            QRegularExpression(QStringLiteral("\"((?:[^\"\\\\]|\\\\.)*)\"")).globalMatch(list.captured(1));
        while (items.hasNext())
            a.patterns.emplace_back(
                items.next().captured(1).replace(QLatin1String("\\\\"), QLatin1String("\\")));
    }
    return a;
}

bool parseNumber(const QString &s, double &out)
{
    if (s == QLatin1String("NaN")) {
        out = std::nan("");
        return true;
    }
    if (s == QLatin1String("inf") || s == QLatin1String("Infinity") || s == QLatin1String("-inf") ||
        s == QLatin1String("-Infinity")) {
        out = s.startsWith('-') ? -INFINITY : INFINITY;
        return true;
    }
    bool ok = false;
    out = s.toDouble(&ok);
    return ok && !s.contains(' ');
}

bool approximatelyEqual(double a, double b, double epsilon)
{
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) && std::isnan(b);
    if (a == b)
        return true;
    if (std::isinf(a) || std::isinf(b))
        return false;
    return std::fabs(a - b) <= epsilon ||
           std::fabs(a - b) <= std::max(std::fabs(a), std::fabs(b)) * std::numeric_limits<double>::epsilon();
}

QStringList lines(const QString &text)
{
    QStringList out = text.split('\n');
    if (!out.isEmpty() && out.last().isEmpty())
        out.removeLast();
    for (QString &l : out) {
        if (l.endsWith('\r'))
            l.chop(1);
    }
    return out;
}

bool sameTrace(const QString &actual, const QString &expected, const Approximations &a)
{
    if (!a.present)
        return actual == expected;
    const QStringList x = lines(actual), y = lines(expected);
    if (x.size() != y.size())
        return false;
    for (qsizetype i = 0; i < x.size(); ++i) {
        double p = 0, q = 0;
        if (a.bareNumbers && parseNumber(x[i], p) && parseNumber(y[i], q)) {
            if (!approximatelyEqual(p, q, a.epsilon))
                return false;
            continue;
        }
        bool matched = false;
        for (const QRegularExpression &pattern : a.patterns) {
            const auto mx = pattern.match(x[i]), my = pattern.match(y[i]);
            if (!mx.hasMatch() || !my.hasMatch())
                continue;
            matched = true;
            for (int g = 1; g <= pattern.captureCount(); ++g) {
                if (!approximatelyEqual(mx.captured(g).toDouble(), my.captured(g).toDouble(), a.epsilon))
                    return false;
            }
            QString rx = x[i], ry = y[i];
            if (rx.remove(pattern) != ry.remove(pattern))
                return false;
            break;
        }
        if (!matched && x[i] != y[i])
            return false;
    }
    return true;
}

} // namespace

std::vector<TestResult> runAll()
{
    std::vector<TestResult> results;
    const QJsonArray manifest = QJsonDocument::fromJson(readAll(corpusDir() + "/manifest.json")).array();
    for (const QJsonValue entry : manifest) {
        const QJsonObject o = entry.toObject();
        TestResult r;
        r.name = o.value(QLatin1String("name")).toString();
        r.category = o.value(QLatin1String("category")).toString();
        const QString folder = corpusDir() + "/" + r.name;
        const QString toml = QString::fromUtf8(readAll(folder + "/test.toml"));
        const auto frames =
            QRegularExpression(QStringLiteral("num_(?:frames|ticks)\\s*=\\s*(\\d+)")).match(toml);
        auto movie = loadMovieFile((folder + "/test.swf").toStdString());
        if (!movie || !frames.hasMatch()) {
            results.push_back(r);
            continue;
        }
        InputBatches input;
        if (QFile::exists(folder + "/input.json")) {
            auto parsed = parseInputEvents(readAll(folder + "/input.json"));
            if (parsed)
                input = std::move(*parsed);
        }
        const std::string trace = runHeadless(*movie, frames.captured(1).toInt(), input);
        QString expected = QString::fromUtf8(readAll(folder + "/output.txt"));
        expected.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        r.passed = sameTrace(QString::fromStdString(trace), expected, readApproximations(toml));
        results.push_back(r);
    }
    return results;
}

} // namespace velmora::swf::avm1corpus
