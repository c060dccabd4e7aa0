// Turns the program's Windows-style full paths ("<application path>\res\1p.html") into
// files on disk, and keeps them inside the installation folder.
#pragma once

#include <QString>

#include <filesystem>
#include <optional>

namespace velmora {

// The file that `fullPath` names. When it begins with `applicationPath`, the rest is
// resolved case-insensitively below it; otherwise the text before the first backslash is
// taken as a directory and the rest is resolved below that. Forward slashes are accepted
// in the tail as well.
std::filesystem::path resolveInstallationPath(const QString &applicationPath, const QString &fullPath);

// The canonical file for `path` if it exists, is a regular file and lies inside `root`
// after every symbolic link is resolved; nothing otherwise.
std::optional<std::filesystem::path> containedFile(const std::filesystem::path &root,
                                                   const std::filesystem::path &path);

} // namespace velmora
