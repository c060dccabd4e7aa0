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

// The file that `fullPath` names. The program forms every path as the application path
// (a folder of this file system, without a trailing separator) followed by a
// Windows-style tail, "/opt/velmora\res\Chapter\faj.trm". When `fullPath` begins with
// `applicationPath`, that prefix is taken as written (its folder names may hold
// backslashes, blanks or any other character) and the tail is resolved below it with
// resolveCaseInsensitive. Any other path is resolved the same way from the root, or
// from the working folder when it is relative.
std::filesystem::path resolveInstallationPath(std::string_view applicationPath, std::string_view fullPath);

// ASCII-only case-insensitive equality; bytes outside ASCII must match exactly.
bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);

} // namespace velmora
