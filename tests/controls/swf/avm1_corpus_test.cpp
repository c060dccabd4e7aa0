// The script corpus: fails when a test listed in avm1-passing.txt stops passing (the
// score itself is printed by bench/swf/swf_avm1_corpus_score).
#include "avm1corpus.h"

#include <gtest/gtest.h>

#include <QFile>

#include <set>

namespace velmora::swf::avm1corpus {
namespace {

TEST(Avm1Corpus, PassingTestsStillPass)
{
    const std::vector<TestResult> results = runAll();
    if (results.empty())
        GTEST_SKIP() << "corpus not found in " << corpusDir().toStdString();
    QFile list(QStringLiteral(VELMORA_SOURCE_DIR "/tests/controls/swf/avm1-passing.txt"));
    ASSERT_TRUE(list.open(QIODevice::ReadOnly | QIODevice::Text));
    std::set<QString> expected;
    while (!list.atEnd()) {
        const QString line = QString::fromUtf8(list.readLine()).trimmed();
        if (!line.isEmpty() && !line.startsWith('#'))
            expected.insert(line);
    }
    for (const TestResult &r : results) {
        if (expected.erase(r.name)) {
            EXPECT_TRUE(r.passed) << r.name.toStdString();
        }
    }
    EXPECT_TRUE(expected.empty()) << "listed tests missing from the corpus: " << expected.size();
}

} // namespace
} // namespace velmora::swf::avm1corpus
