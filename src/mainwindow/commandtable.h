// What a click on each control of the main window does, as one table: a Flash button's
// focus event or a click on Label1 runs the command of the control's row.
#pragma once

#include <optional>
#include <span>
#include <string_view>

namespace velmora::mainwindow {

enum class Command {
    Help,      // start the help program
    Quit,      // end the process at once
    MakerLink, // show the maker's web site
    Contents,  // the contents page
    PageUp,
    PageDown,
    Chapter, // the page of the chapter button clicked
};

// Label1 in the table: no Flash button has the number 0.
inline constexpr int kLabel1Control = 0;

struct ControlCommand {
    int control; // n of ShockwaveFlash<n>, or kLabel1Control
    Command command;
};

// Every control that runs a command, one row each, the chapter panel in ascending number.
std::span<const ControlCommand> commandTable();
// The command of `control`; nothing for a control that runs none (the logo and the title).
std::optional<Command> commandFor(int control);
// What assistive technology calls a button of `command`; empty for the maker link (a
// label, named by its own text) and the chapter buttons (named by the pages they open).
std::string_view commandName(Command command);

} // namespace velmora::mainwindow
