// The reference corpus's score: every capture rendered and compared under its tolerance,
// one line per capture and the score at the end. The regression test (swf_corpus_test)
// fails when a capture listed as passing stops passing; this program tells how far the
// others are. Set VELMORA_CORPUS_OUT to a folder to keep the rendered images.
//
//   build/bench/swf/swf_corpus_score
#include "corpus.h"

#include <cstdio>

using namespace velmora::swf::corpus;

int main()
{
    const std::vector<CaptureResult> results = runAll();
    if (results.empty()) {
        std::fprintf(stderr, "corpus not found in %s\n", qPrintable(corpusDir()));
        return 1;
    }
    int passed = 0, flash = 0, flashPassed = 0;
    for (const CaptureResult &r : results) {
        std::printf("%-4s %-55s %9.4f%% differing (%lld outliers, allowed %lld, tolerance %d)%s%s\n",
                    r.passed ? "PASS" : "FAIL", qPrintable(r.name), r.differingShare(),
                    static_cast<long long>(r.outliers), static_cast<long long>(r.maxOutliers), r.tolerance,
                    r.error.isEmpty() ? "" : " ", qPrintable(r.error));
        passed += r.passed;
        flash += r.fromFlash;
        flashPassed += r.fromFlash && r.passed;
    }
    std::printf("SCORE: %d of %d Flash-referenced captures pass; %d of %zu captures in all\n", flashPassed,
                flash, passed, results.size());
    return 0;
}
