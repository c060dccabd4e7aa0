// Opens a file the way the desktop's shell does with its default action: a program is
// started, anything else goes to the desktop's handler for its type.
#pragma once

#include <filesystem>

namespace velmora::controls {

// Starts `file` as a detached process when it is an executable file, working in the
// reader's current directory; opens any other existing file with the desktop's default
// handler. Never waits and never reports: a missing or broken file does nothing.
void shellOpen(const std::filesystem::path &file);

} // namespace velmora::controls
