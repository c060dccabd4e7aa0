// The reference corpus: fails when a capture listed in passing-captures.txt stops
// passing (the score itself is printed by bench/swf/swf_corpus_score).
#include "corpus.h"

#include <gtest/gtest.h>

#include <QFile>

#include <set>

namespace velmora::swf::corpus {
namespace {

const std::vector<CaptureResult> &results()
{
    static const std::vector<CaptureResult> all = runAll();
    return all;
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
