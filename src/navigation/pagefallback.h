// Pages kept in memory for the addresses whose files could not be written, so that a
// read-only installation still shows the right record at the page file's address.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace velmora::navigation {

class PageFallback {
public:
    // The document for `file` when its file could not be written.
    void keep(const std::filesystem::path &file, std::string bytes);
    // The file on disk holds the page again.
    void release(const std::filesystem::path &file);
    std::optional<std::string> pageFor(const std::filesystem::path &file) const;

private:
    std::map<std::filesystem::path, std::string> m_pages;
};

} // namespace velmora::navigation
