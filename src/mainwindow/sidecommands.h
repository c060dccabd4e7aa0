// The main window's side commands: help (ShockwaveFlash2), quit (ShockwaveFlash3) and
// the maker link (a click on Label1).
#pragma once

namespace velmora::mainwindow {

class MainForm;

// The maker's home page, shown by the maker link.
inline constexpr const char *kMakerAddress = "https://www.brevanto.example/";

// Installs the three commands on the form. Call once.
void installSideCommands(MainForm &form);

} // namespace velmora::mainwindow
