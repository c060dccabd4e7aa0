#include "atspiclient.h"

#include <QElapsedTimer>
#include <QTest>

#include <algorithm>
#include <cstdlib>

namespace velmora::testing {
namespace {

std::string taken(gchar *text)
{
    std::string result = text ? text : "";
    g_free(text);
    return result;
}

} // namespace

bool AtspiClient::connect(const AccessibilityBus &bus)
{
    static std::string connectedTo;
    if (!bus.isRunning())
        return false;
    if (!connectedTo.empty())
        return connectedTo == bus.accessibilityAddress().toStdString();
    // libatspi reads both addresses from the environment when it connects.
    setenv("DBUS_SESSION_BUS_ADDRESS", bus.sessionAddress().constData(), 1);
    setenv("AT_SPI_BUS_ADDRESS", bus.accessibilityAddress().constData(), 1);
    if (atspi_init() < 0)
        return false;
    connectedTo = bus.accessibilityAddress().toStdString();
    return true;
}

Accessible AtspiClient::waitForWindow(const std::string &application, const std::string &title, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        const Accessible desktop(atspi_get_desktop(0));
        atspi_accessible_clear_cache(desktop.get());
        for (Accessible &program : children(desktop.get())) {
            if (name(program.get()) != application)
                continue;
            // Read live: the program's objects change as pages turn.
            atspi_accessible_set_cache_mask(program.get(), ATSPI_CACHE_NONE);
            for (Accessible &window : children(program.get()))
                if (name(window.get()) == title)
                    return std::move(window);
        }
        QTest::qWait(100);
    }
    return nullptr;
}

std::vector<Accessible> AtspiClient::children(AtspiAccessible *parent)
{
    std::vector<Accessible> result;
    const gint count = atspi_accessible_get_child_count(parent, nullptr);
    for (gint i = 0; i < count; ++i)
        if (AtspiAccessible *child = atspi_accessible_get_child_at_index(parent, i, nullptr))
            result.emplace_back(child);
    return result;
}

std::string AtspiClient::name(AtspiAccessible *object)
{
    return taken(atspi_accessible_get_name(object, nullptr));
}

AtspiRole AtspiClient::role(AtspiAccessible *object)
{
    return atspi_accessible_get_role(object, nullptr);
}

bool AtspiClient::isShowing(AtspiAccessible *object)
{
    AtspiStateSet *states = atspi_accessible_get_state_set(object);
    const bool showing = states && atspi_state_set_contains(states, ATSPI_STATE_SHOWING);
    if (states)
        g_object_unref(states);
    return showing;
}

std::vector<std::string> AtspiClient::actionNames(AtspiAccessible *object)
{
    std::vector<std::string> names;
    AtspiAction *action = atspi_accessible_get_action_iface(object);
    if (!action)
        return names;
    const gint count = atspi_action_get_n_actions(action, nullptr);
    for (gint i = 0; i < count; ++i)
        names.push_back(taken(atspi_action_get_action_name(action, i, nullptr)));
    g_object_unref(action);
    return names;
}

bool AtspiClient::doAction(AtspiAccessible *object, const std::string &actionName)
{
    const std::vector<std::string> names = actionNames(object);
    const auto it = std::find(names.begin(), names.end(), actionName);
    if (it == names.end())
        return false;
    AtspiAction *action = atspi_accessible_get_action_iface(object);
    const bool done =
        action && atspi_action_do_action(action, static_cast<gint>(it - names.begin()), nullptr);
    if (action)
        g_object_unref(action);
    return done;
}

Accessible AtspiClient::findRole(AtspiAccessible *root, AtspiRole wanted, int depth)
{
    for (Accessible &child : children(root)) {
        if (role(child.get()) == wanted)
            return std::move(child);
        if (depth > 1)
            if (Accessible found = findRole(child.get(), wanted, depth - 1))
                return found;
    }
    return nullptr;
}

} // namespace velmora::testing
