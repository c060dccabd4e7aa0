// The reference corpus: prints the score (never fails on it) and fails only when a
// capture listed in passing-captures.txt stops passing.
#include "corpus.h"

#include <gtest/gtest.h>

#include <QFile>

#include <cstdio>
#include <set>

namespace velmora::swf::corpus {
namespace {

const std::vector<CaptureResult> &results()
{
    static const std::vector<CaptureResult> all = runAll();
    return all;
}

TEST(SwfCorpus, PrintsScore)
{
    if (results().empty())
        GTEST_SKIP() << "corpus not found in " << corpusDir().toStdString();
    int passed = 0, flash = 0, flashPassed = 0;
    for (const CaptureResult &r : results()) {
        std::printf("%-4s %-55s %9.4f%% differing (%lld outliers, allowed %lld, tolerance %d)%s%s\n",
                    r.passed ? "PASS" : "FAIL", qPrintable(r.name), r.differingShare(),
                    static_cast<long long>(r.outliers), static_cast<long long>(r.maxOutliers), r.tolerance,
                    r.error.isEmpty() ? "" : " ", qPrintable(r.error));
        passed += r.passed;
        flash += r.fromFlash;
        flashPassed += r.fromFlash && r.passed;
    }
    std::printf("SCORE: %d of %d Flash-referenced captures pass; %d of %zu captures in all\n", flashPassed,
                flash, passed, results().size());
}

TEST(SwfCorpus, PassingCapturesStillPass)
{
    if (results().empty())
        GTEST_SKIP() << "corpus not found";
    QFile list(QStringLiteral(VELMORA_SOURCE_DIR "/tests/controls/swf/passing-captures.txt"));
    ASSERT_TRUE(list.open(QIODevice::ReadOnly | QIODevice::Text));
    std::set<QString> expected;
    while (!list.atEnd()) {
        QString line = QString::fromUtf8(list.readLine()).trimmed();
        if (!line.isEmpty() && !line.startsWith('#'))
            expected.insert(line);
    }
    for (const CaptureResult &r : results()) {
        if (expected.count(r.name)) {
            SCOPED_TRACE(r.name.toStdString());
            EXPECT_TRUE(r.passed) << r.outliers << " outliers, " << r.maxOutliers << " allowed";
            expected.erase(r.name);
        }
    }
    EXPECT_TRUE(expected.empty()) << "listed captures missing from the corpus: " << expected.size();
}

} // namespace
} // namespace velmora::swf::corpus
