// Paths of the installation are written Windows-style, with backslashes and in any
// case ("\res\chapter\szh.dll" and "\res\Chapter\faj.trm" name one folder). This
// resolves such a path against a case-sensitive file system.
#pragma once

#include <filesystem>
#include <string_view>

namespace velmora {

// Joins `relative` (separated by '\' or '/') to `base`, taking for each component the
// entry on disk whose name matches without regard to ASCII case. An exact match wins;
// among several case variants the first in byte order is taken. A component with no
// match on disk is kept as written, so the result also names files yet to be created.
std::filesystem::path resolveCaseInsensitive(const std::filesystem::path &base, std::string_view relative);

// Resolves a full path as the program forms it: the application path (a directory of
// this file system) followed by a Windows-style tail, "/opt/velmora\res\Chapter\faj.trm".
// The text before the first backslash is taken as it is; the tail is resolved below it
// with resolveCaseInsensitive. A path without a backslash is taken as it is.
std::filesystem::path resolveWindowsPath(std::string_view fullPath);

// ASCII-only case-insensitive equality; bytes outside ASCII must match exactly.
bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);

} // namespace velmora
