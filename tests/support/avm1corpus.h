// Runs the movies of the script corpus headless, each for its frames with its input,
// and compares their trace text with what Flash Player printed (whole-text equality,
// or the number approximations a test carries).
#pragma once

#include <QString>

#include <vector>

namespace velmora::swf::avm1corpus {

struct TestResult {
    QString name, category;
    bool passed = false;
};

QString corpusDir();
// Every test of the manifest, in manifest order; empty when the corpus is absent.
std::vector<TestResult> runAll();

} // namespace velmora::swf::avm1corpus
