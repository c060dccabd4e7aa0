// What the program knows of the page files it writes: the encoding each file's text is
// in, and the page itself for an address whose file could not be written, so that a
// read-only installation still shows the right record at the page file's address.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace velmora::navigation {

class WrittenPages {
public:
    // The document for `file` when its file could not be written.
    void keep(const std::filesystem::path &file, std::string bytes);
    // The file on disk holds the page again.
    void release(const std::filesystem::path &file);
    std::optional<std::string> pageFor(const std::filesystem::path &file) const;

    // The page at `file` is text in `charset` ("UTF-8"); empty: bytes as the database
    // held them, whose encoding only the page itself can tell.
    void setCharset(const std::filesystem::path &file, std::string charset);
    std::string charsetOf(const std::filesystem::path &file) const;

private:
    std::map<std::filesystem::path, std::string> m_pages;
    std::map<std::filesystem::path, std::string> m_charsets;
};

} // namespace velmora::navigation
