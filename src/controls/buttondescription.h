// What assistive technology is told of a movie button: its name, and whether it is a
// button that runs a command or only a picture.
#pragma once

#include <QString>

#include <functional>

namespace velmora::controls {

struct ButtonDescription {
    // Asked for only when assistive technology asks for the name, so that a reader used
    // without it never reads what the names come from.
    std::function<QString()> name;
    // A push button with a press action; otherwise an image without one.
    bool pressable = false;
};

} // namespace velmora::controls
