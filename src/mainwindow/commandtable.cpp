#include "mainwindow/commandtable.h"

#include "mainwindow/mainformtables.h"

#include <algorithm>
#include <array>

namespace velmora::mainwindow {
namespace {

constexpr size_t kFixedRows = 6;

constexpr std::array<ControlCommand, kFixedRows + kChapterButtonCount> buildCommandTable()
{
    std::array<ControlCommand, kFixedRows + kChapterButtonCount> table{{
        {kHelpButton, Command::Help},
        {kQuitButton, Command::Quit},
        {kLabel1Control, Command::MakerLink},
        {kContentsButton, Command::Contents},
        {kPageUpButton, Command::PageUp},
        {kPageDownButton, Command::PageDown},
    }};
    for (int n = kFirstChapterControl; n <= kLastChapterControl; ++n)
        table[kFixedRows + static_cast<size_t>(n - kFirstChapterControl)] = {n, Command::Chapter};
    return table;
}

constexpr auto kCommandTable = buildCommandTable();

} // namespace

std::span<const ControlCommand> commandTable()
{
    return kCommandTable;
}

std::optional<Command> commandFor(int control)
{
    const auto it = std::find_if(kCommandTable.begin(), kCommandTable.end(),
                                 [&](const ControlCommand &row) { return row.control == control; });
    if (it == kCommandTable.end())
        return std::nullopt;
    return it->command;
}

std::string_view commandName(Command command)
{
    switch (command) {
    case Command::Help:
        return "Help";
    case Command::Quit:
        return "Exit";
    case Command::Contents:
        return "Contents";
    case Command::PageUp:
        return "Previous page";
    case Command::PageDown:
        return "Next page";
    case Command::MakerLink:
    case Command::Chapter:
        break;
    }
    return {};
}

} // namespace velmora::mainwindow
