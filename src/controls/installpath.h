// Keeps the files the program serves inside the installation folder.
#pragma once

#include <filesystem>
#include <optional>

namespace velmora {

// The canonical file for `path` if it exists, is a regular file and lies inside `root`
// after every symbolic link is resolved; nothing otherwise.
std::optional<std::filesystem::path> containedFile(const std::filesystem::path &root,
                                                   const std::filesystem::path &path);

} // namespace velmora
