// Renders the captures of the reference movie corpus and compares them with the
// expected images under each capture's tolerance (per pixel and RGBA channel).
#pragma once

#include <QImage>
#include <QString>

#include <vector>

namespace velmora::swf::corpus {

struct CaptureResult {
    QString name; // test/png
    bool passed = false;
    bool fromFlash = false;
    qint64 outliers = 0;
    qint64 pixels = 0;
    int tolerance = 0;
    qint64 maxOutliers = 0;
    QString error;
    double differingShare() const { return pixels ? 100.0 * outliers / pixels : 100.0; }
};

QString corpusDir();
// Every capture of the manifest, in manifest order; empty when the corpus is absent.
std::vector<CaptureResult> runAll();
// Outliers per the corpus rule: |a - b| > tolerance in any channel counts per channel.
qint64 countOutliers(const QImage &actual, const QImage &expected, int tolerance);

} // namespace velmora::swf::corpus
