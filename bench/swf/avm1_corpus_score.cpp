// The script corpus's score: every movie run headless and its trace compared with
// Flash Player's, one line per test, the counts per category and the score at the end.
// The regression test (swf_avm1_corpus_test) fails when a test listed as passing stops
// passing; this program tells how far the others are.
//
//   build/bench/swf/swf_avm1_corpus_score
#include "avm1corpus.h"

#include <cstdio>
#include <map>

using namespace velmora::swf::avm1corpus;

int main()
{
    const std::vector<TestResult> results = runAll();
    if (results.empty()) {
        std::fprintf(stderr, "corpus not found in %s\n", qPrintable(corpusDir()));
        return 1;
    }
    std::map<QString, std::pair<int, int>> byCategory;
    int passed = 0;
    for (const TestResult &r : results) {
        std::printf("%-4s %-17s %s\n", r.passed ? "PASS" : "FAIL", qPrintable(r.category),
                    qPrintable(r.name));
        passed += r.passed;
        auto &c = byCategory[r.category];
        c.first += r.passed;
        ++c.second;
    }
    for (const auto &[category, counts] : byCategory)
        std::printf("  %-17s %d of %d\n", qPrintable(category), counts.first, counts.second);
    std::printf("SCORE: %d of %zu script tests pass\n", passed, results.size());
    return 0;
}
