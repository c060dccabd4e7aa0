// Helpers of the content tests: a scratch folder, book databases written for a test,
// file bytes, and running a command for its output.
#pragma once

#include "content/jetwriter.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::content::test {

inline constexpr const char *kBookPassword = "64tolvaner82";

// A fresh folder under the system's temporary folder, removed with the object.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    const std::filesystem::path &path() const { return m_path; }
    std::filesystem::path operator/(const std::string &name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// "<html>page k</html>" for k = 0 .. count-1.
std::vector<std::optional<std::string>> numberedPages(size_t count);
// Writes `table` to `path`; fails the calling test on error.
void writeBook(const std::filesystem::path &path, const BookTable &table,
               const JetWriteOptions &options = {});
std::string readBytes(const std::filesystem::path &path);
void writeBytes(const std::filesystem::path &path, const std::string &bytes);
// The reader's own connection string for `path`, with `password`.
std::string connectionStringFor(const std::string &path, const std::string &password);
// Runs `command` through the shell; gives its standard output, std::nullopt on a non-zero exit.
std::optional<std::string> runCommand(const std::string &command);
// The bytes as hexadecimal digits, upper or lower case.
std::string hex(std::string_view bytes, bool upper);
// The parts of `text` between occurrences of `separator`; an empty last part is dropped.
std::vector<std::string> split(const std::string &text, const std::string &separator);
// A directory of the shared test data, or empty when the shared folder is absent.
std::filesystem::path sharedCorpus();

} // namespace velmora::content::test
