// A control of the main window, reached by the commands: like any call on a control
// that is not there, it is an error that ends the command.
#pragma once

#include "common/error.h"

#include <string>

namespace velmora::mainwindow {

template <typename T> T &control(T *pointer, const char *name)
{
    if (!pointer)
        throw Failure(Error(91, std::string("Object variable or With block variable not set: ") + name));
    return *pointer;
}

} // namespace velmora::mainwindow
