#include "corpus.h"

#include "controls/swf/player.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QRegularExpression>

#include <filesystem>

namespace velmora::swf::corpus {

QString corpusDir()
{
    return QStringLiteral(VELMORA_SHARED_DIR "/corpus/swf");
}

qint64 countOutliers(const QImage &actual, const QImage &expected, int tolerance)
{
    const QImage a = actual.convertToFormat(QImage::Format_ARGB32);
    const QImage b = expected.convertToFormat(QImage::Format_ARGB32);
    if (a.size() != b.size())
        return static_cast<qint64>(b.width()) * b.height() * 4;
    qint64 outliers = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto *pa = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *pb = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            const int d[] = {qRed(pa[x]) - qRed(pb[x]), qGreen(pa[x]) - qGreen(pb[x]),
                             qBlue(pa[x]) - qBlue(pb[x]), qAlpha(pa[x]) - qAlpha(pb[x])};
            for (int v : d)
                outliers += std::abs(v) > tolerance;
        }
    }
    return outliers;
}

namespace {

// The mouse script in groups: the events between one Wait and the next. Group k is
// applied after frame k+1 has run.
std::vector<QJsonArray> mouseGroups(const QString &folder)
{
    std::vector<QJsonArray> groups;
    QFile file(folder + "/input.json");
    if (!file.open(QIODevice::ReadOnly))
        return groups;
    QJsonArray current;
    for (const QJsonValue v : QJsonDocument::fromJson(file.readAll()).array()) {
        if (v.toObject().value("type").toString() == "Wait") {
            groups.push_back(current);
            current = {};
        } else {
            current.append(v);
        }
    }
    groups.push_back(current);
    return groups;
}

} // namespace

std::vector<CaptureResult> runAll()
{
    std::vector<CaptureResult> results;
    QFile manifestFile(corpusDir() + "/manifest.json");
    if (!manifestFile.open(QIODevice::ReadOnly))
        return results;
    const QJsonArray tests = QJsonDocument::fromJson(manifestFile.readAll()).array();
    for (const QJsonValue tv : tests) {
        const QJsonObject test = tv.toObject();
        const QString name = test.value("name").toString();
        const QString folder = corpusDir() + "/" + name;
        const Quality quality = test.value("quality").toString() == "low" ? Quality::Low : Quality::High;
        auto loaded = loadMovieFile(std::filesystem::path((folder + "/test.swf").toStdString()));
        std::unique_ptr<Player> player;
        if (loaded)
            player = std::make_unique<Player>(*loaded);
        const auto groups = mouseGroups(folder);
        const QRectF stage = player ? QRectF(QPointF(0, 0), player->stageSize()) : QRectF();

        QJsonArray captures = test.value("captures").toArray();
        std::vector<QJsonObject> ordered;
        for (const QJsonValue c : captures)
            ordered.push_back(c.toObject());
        std::sort(ordered.begin(), ordered.end(), [](const QJsonObject &a, const QJsonObject &b) {
            return a.value("after_frames").toInt() < b.value("after_frames").toInt();
        });
        int framesRun = 1;
        auto applyMouse = [&](int afterFrame) {
            if (afterFrame - 1 >= static_cast<int>(groups.size()))
                return;
            for (const QJsonValue ev : groups[static_cast<std::size_t>(afterFrame - 1)]) {
                const QJsonObject e = ev.toObject();
                const QJsonArray pos = e.value("pos").toArray();
                const QPointF p(pos.at(0).toDouble(), pos.at(1).toDouble());
                const QString type = e.value("type").toString();
                player->mouseMove(p, stage);
                if (type == "MouseDown")
                    player->mousePress();
                else if (type == "MouseUp")
                    player->mouseRelease();
            }
        };
        if (player)
            applyMouse(1);
        for (const QJsonObject &capture : ordered) {
            CaptureResult r;
            r.name = name + "/" + capture.value("png").toString();
            r.fromFlash = test.value("reference").toString() == "flash";
            r.tolerance = capture.value("tolerance").toInt();
            r.maxOutliers = capture.value("max_outliers").toInt();
            const QImage expected(folder + "/" + capture.value("png").toString());
            if (!player) {
                r.error = QString::fromStdString(loaded.error().description);
            } else if (expected.isNull()) {
                r.error = "expected image missing";
            } else {
                const int after = capture.value("after_frames").toInt();
                while (framesRun < after) {
                    player->stepFrame();
                    ++framesRun;
                    applyMouse(framesRun);
                }
                QImage actual(expected.size(), QImage::Format_ARGB32_Premultiplied);
                actual.fill(Qt::transparent);
                {
                    QPainter painter(&actual);
                    player->render(painter, stage, quality);
                }
                // Rows the manifest's note asks to leave out (text drawn by a test harness).
                static const QRegularExpression maskRows("mask rows (\\d+)-(\\d+)");
                const auto match = maskRows.match(test.value("note").toString());
                if (match.hasMatch()) {
                    QPainter copy(&actual);
                    copy.setCompositionMode(QPainter::CompositionMode_Source);
                    const int top = match.captured(1).toInt(), bottom = match.captured(2).toInt();
                    const QRect rows(0, top, expected.width(), bottom - top + 1);
                    copy.drawImage(rows, expected, rows);
                }
                r.pixels = static_cast<qint64>(expected.width()) * expected.height();
                r.outliers = countOutliers(actual, expected, r.tolerance);
                r.passed = r.outliers <= r.maxOutliers;
                if (qEnvironmentVariableIsSet("VELMORA_CORPUS_OUT"))
                    actual.save(qEnvironmentVariable("VELMORA_CORPUS_OUT") + "/" + name + "." +
                                capture.value("png").toString());
            }
            results.push_back(r);
        }
    }
    return results;
}

} // namespace velmora::swf::corpus
