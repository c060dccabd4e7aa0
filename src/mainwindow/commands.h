// The commands behind the main window's controls: the command table says which control
// runs which command; one switch says what each command does.
#pragma once

namespace velmora::mainwindow {

class MainForm;

// The maker's home page, shown by the maker link.
inline constexpr const char *kMakerAddress = "https://www.brevanto.example/";

// Gives every control of the command table the handler that runs its command. Call
// once; the handlers stay with the form for the life of the process.
void installCommands(MainForm &form);

} // namespace velmora::mainwindow
