// Test doubles for the form runtime: boxes are recorded instead of shown, and ending
// the process throws ProcessEnded instead, so that a test sees what the user would.
#pragma once

#include "startup/runtime.h"

#include <QList>

namespace velmora::testing {

struct ProcessEnded {
    int status;
};

class RuntimeRecorder {
public:
    RuntimeRecorder()
    {
        forms::setMessageBoxHook([this](const forms::MessageBoxRequest &box) { boxes.append(box); });
        forms::setProcessEnder([](int status) { throw ProcessEnded{status}; });
    }
    ~RuntimeRecorder()
    {
        forms::setMessageBoxHook({});
        forms::setProcessEnder({});
    }
    RuntimeRecorder(const RuntimeRecorder &) = delete;
    RuntimeRecorder &operator=(const RuntimeRecorder &) = delete;

    QList<forms::MessageBoxRequest> boxes;
};

} // namespace velmora::testing
