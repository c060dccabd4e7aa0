// velmora-virtual-pointer WIDTH HEIGHT: a mouse for the window tests under a Wayland
// compositor, made of the compositor's own virtual pointer interface. It reads commands
// from its input, one a line, and answers each with "ok" once the compositor has handled
// it (and so sent its events on to the program under the pointer):
//   move X Y    the pointer to (X, Y) of the WIDTH x HEIGHT output
//   press       the left button down
//   release     the left button up
// It prints "ready" when the pointer exists, and ends at the end of its input.
#include "virtual-pointer-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <linux/input-event-codes.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

namespace {

struct Globals {
    wl_seat *seat = nullptr;
    zwlr_virtual_pointer_manager_v1 *pointers = nullptr;
};

void announced(void *data, wl_registry *registry, std::uint32_t name, const char *interface,
               std::uint32_t /*version*/)
{
    auto *globals = static_cast<Globals *>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !globals->seat)
        globals->seat = static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        globals->pointers = static_cast<zwlr_virtual_pointer_manager_v1 *>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
}

void withdrawn(void * /*data*/, wl_registry * /*registry*/, std::uint32_t /*name*/) {}

const wl_registry_listener kRegistryListener = {announced, withdrawn};

std::uint32_t nowMs()
{
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

// Sends one command's events; false for a line that is no command.
bool send(zwlr_virtual_pointer_v1 *pointer, const std::string &line, std::uint32_t width,
          std::uint32_t height)
{
    std::istringstream words(line);
    std::string command;
    words >> command;
    if (command == "move") {
        long x = -1;
        long y = -1;
        words >> x >> y;
        if (!words || x < 0 || y < 0 || x >= width || y >= height)
            return false;
        zwlr_virtual_pointer_v1_motion_absolute(pointer, nowMs(), static_cast<std::uint32_t>(x),
                                                static_cast<std::uint32_t>(y), width, height);
    } else if (command == "press" || command == "release") {
        zwlr_virtual_pointer_v1_button(pointer, nowMs(), BTN_LEFT,
                                       command == "press" ? WL_POINTER_BUTTON_STATE_PRESSED
                                                          : WL_POINTER_BUTTON_STATE_RELEASED);
    } else {
        return false;
    }
    zwlr_virtual_pointer_v1_frame(pointer);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::cerr << "usage: velmora-virtual-pointer WIDTH HEIGHT\n";
        return 2;
    }
    const long width = std::strtol(argv[1], nullptr, 10);
    const long height = std::strtol(argv[2], nullptr, 10);
    if (width <= 0 || height <= 0 || width > 65535 || height > 65535) {
        std::cerr << "velmora-virtual-pointer: no output of that size\n";
        return 2;
    }
    wl_display *display = wl_display_connect(nullptr);
    if (!display) {
        std::cerr << "velmora-virtual-pointer: no Wayland display\n";
        return 1;
    }
    Globals globals;
    wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, &globals);
    wl_display_roundtrip(display);
    if (!globals.seat || !globals.pointers) {
        std::cerr << "velmora-virtual-pointer: the compositor offers no virtual pointer\n";
        return 1;
    }
    zwlr_virtual_pointer_v1 *pointer =
        zwlr_virtual_pointer_manager_v1_create_virtual_pointer(globals.pointers, globals.seat);
    if (wl_display_roundtrip(display) < 0)
        return 1;
    std::cout << "ready" << std::endl;

    for (std::string line; std::getline(std::cin, line);) {
        if (!send(pointer, line, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height))) {
            std::cout << "unknown command" << std::endl;
            continue;
        }
        if (wl_display_roundtrip(display) < 0) {
            std::cerr << "velmora-virtual-pointer: the compositor went away\n";
            return 1;
        }
        std::cout << "ok" << std::endl;
    }
    zwlr_virtual_pointer_v1_destroy(pointer);
    zwlr_virtual_pointer_manager_v1_destroy(globals.pointers);
    wl_seat_destroy(globals.seat);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return 0;
}
