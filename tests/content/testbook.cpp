#include "testbook.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

namespace velmora::content::test {

ScratchDir::ScratchDir()
{
    std::random_device random;
    m_path = std::filesystem::temp_directory_path() / ("velmora-content-" + std::to_string(random()));
    std::filesystem::create_directories(m_path);
}

ScratchDir::~ScratchDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::vector<std::optional<std::string>> numberedPages(size_t count)
{
    std::vector<std::optional<std::string>> pages;
    for (size_t k = 0; k < count; ++k)
        pages.emplace_back("<html>page " + std::to_string(k) + "</html>");
    return pages;
}

void writeBook(const std::filesystem::path &path, const BookTable &table, const JetWriteOptions &options)
{
    Result<void> written = writeJetDatabase(path, table, options);
    ASSERT_TRUE(written.ok()) << written.error().description;
}

std::string readBytes(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeBytes(const std::filesystem::path &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string connectionStringFor(const std::string &path, const std::string &password)
{
    return "Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;Data Source=" + path +
           " ;Jet OLEDB:Database Password=" + password;
}

std::optional<std::string> runCommand(const std::string &command)
{
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe)
        return std::nullopt;
    std::string output;
    std::array<char, 65536> buffer;
    while (size_t n = fread(buffer.data(), 1, buffer.size(), pipe))
        output.append(buffer.data(), n);
    if (pclose(pipe) != 0)
        return std::nullopt;
    return output;
}

std::filesystem::path sharedCorpus()
{
    const std::filesystem::path corpus = std::filesystem::path(VELMORA_SHARED_DIR) / "corpus" / "mdb";
    return std::filesystem::exists(corpus) ? corpus : std::filesystem::path();
}

std::string hex(std::string_view bytes, bool upper)
{
    static constexpr char kLower[] = "0123456789abcdef", kUpper[] = "0123456789ABCDEF";
    const char *digits = upper ? kUpper : kLower;
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::vector<std::string> split(const std::string &text, const std::string &separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + separator.size())
        parts.push_back(text.substr(start, at - start));
    if (start < text.size())
        parts.push_back(text.substr(start));
    return parts;
}

} // namespace velmora::content::test
