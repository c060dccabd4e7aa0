#include "controls/installpath.h"

#include <system_error>

namespace velmora {

std::optional<std::filesystem::path> containedFile(const std::filesystem::path &root,
                                                   const std::filesystem::path &path)
{
    std::error_code ec;
    const std::filesystem::path canonicalRoot = std::filesystem::canonical(root, ec);
    if (ec)
        return std::nullopt;
    const std::filesystem::path file = std::filesystem::canonical(path, ec);
    if (ec || !std::filesystem::is_regular_file(file, ec))
        return std::nullopt;
    // Compare whole components, so that "/book2" is not taken to lie inside "/book".
    auto fileIt = file.begin();
    for (auto rootIt = canonicalRoot.begin(); rootIt != canonicalRoot.end(); ++rootIt, ++fileIt) {
        if (rootIt->empty())
            continue; // a trailing separator of the root
        if (fileIt == file.end() || *fileIt != *rootIt)
            return std::nullopt;
    }
    return file;
}

} // namespace velmora
