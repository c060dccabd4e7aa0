// What a screen reader sees of a program: a client of the accessibility bus (libatspi,
// at-spi2-core's own client library) that finds a program's window and reads and
// presses the objects in it. One per test program: libatspi connects once per process.
#pragma once

#include "accessibilitybus.h"

#include <atspi/atspi.h>

#include <memory>
#include <string>
#include <vector>

namespace velmora::testing {

struct GObjectUnref {
    void operator()(void *object) const { g_object_unref(object); }
};
using Accessible = std::unique_ptr<AtspiAccessible, GObjectUnref>;

class AtspiClient {
public:
    // Connects to `bus`; false when it does not run (or another bus was connected first).
    static bool connect(const AccessibilityBus &bus);

    // The top-level window `title` of the program `application`, once it is offered;
    // null when it is not within `timeoutMs`. Its children are read afresh on every call.
    static Accessible waitForWindow(const std::string &application, const std::string &title, int timeoutMs);

    static std::vector<Accessible> children(AtspiAccessible *parent);
    static std::string name(AtspiAccessible *object);
    static AtspiRole role(AtspiAccessible *object);
    static bool isShowing(AtspiAccessible *object);
    static std::vector<std::string> actionNames(AtspiAccessible *object);
    // Runs the action `action` of `object`; false when it has none such or the call fails.
    static bool doAction(AtspiAccessible *object, const std::string &action);
    // The first object of `role` below `root`, depth first, at most `depth` levels down.
    static Accessible findRole(AtspiAccessible *root, AtspiRole role, int depth);
};

} // namespace velmora::testing
