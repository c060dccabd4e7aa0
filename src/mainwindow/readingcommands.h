// Puts the reading commands on the main window's buttons: page down and page up, the
// contents page, and the 33 chapter buttons of the contents page.
#pragma once

namespace velmora::mainwindow {

class MainForm;

// Installs the commands as focus handlers of ShockwaveFlash10, 11, 12 and 19 to 51.
// Call once; the handlers stay with the form for the life of the process.
void installReadingCommands(MainForm &form);

} // namespace velmora::mainwindow
