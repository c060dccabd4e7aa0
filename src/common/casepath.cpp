#include "common/casepath.h"

#include <optional>
#include <string>
#include <system_error>

namespace velmora {
namespace {

char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::optional<std::string> findEntry(const std::filesystem::path &dir, const std::string &name)
{
    std::error_code ec;
    if (std::filesystem::exists(dir / name, ec))
        return name;
    std::optional<std::string> best;
    std::filesystem::directory_iterator it(dir, ec);
    if (ec)
        return std::nullopt;
    for (const auto &entry : it) {
        std::string candidate = entry.path().filename().string();
        if (equalsIgnoringAsciiCase(candidate, name) && (!best || candidate < *best))
            best = std::move(candidate);
    }
    return best;
}

} // namespace

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    }
    return true;
}

std::filesystem::path resolveCaseInsensitive(const std::filesystem::path &base, std::string_view relative)
{
    std::filesystem::path result = base;
    bool onDisk = true; // once a component is missing, nothing below it can be listed
    size_t start = 0;
    while (start <= relative.size()) {
        size_t end = relative.find_first_of("\\/", start);
        if (end == std::string_view::npos)
            end = relative.size();
        std::string component(relative.substr(start, end - start));
        start = end + 1;
        if (component.empty() || component == ".")
            continue;
        if (onDisk) {
            if (auto found = findEntry(result, component)) {
                result /= *found;
                continue;
            }
            onDisk = false;
        }
        result /= component;
    }
    return result;
}

std::filesystem::path resolveInstallationPath(std::string_view applicationPath, std::string_view fullPath)
{
    // The prefix ends at a separator (or is the whole path), so that "/opt/book" is not
    // taken for the application path of "/opt/book2\res".
    const bool below = !applicationPath.empty() && fullPath.starts_with(applicationPath) &&
                       (fullPath.size() == applicationPath.size() || applicationPath.ends_with('/') ||
                        fullPath[applicationPath.size()] == '\\' || fullPath[applicationPath.size()] == '/');
    if (below)
        return resolveCaseInsensitive(std::filesystem::path(applicationPath),
                                      fullPath.substr(applicationPath.size()));
    if (fullPath.starts_with('/'))
        return resolveCaseInsensitive("/", fullPath.substr(1));
    std::error_code ec;
    const std::filesystem::path workingFolder = std::filesystem::current_path(ec);
    return resolveCaseInsensitive(ec ? std::filesystem::path(".") : workingFolder, fullPath);
}

} // namespace velmora
