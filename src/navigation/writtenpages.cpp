#include "navigation/writtenpages.h"

namespace velmora::navigation {

void WrittenPages::keep(const std::filesystem::path &file, std::string bytes)
{
    m_pages[file.lexically_normal()] = std::move(bytes);
}

void WrittenPages::release(const std::filesystem::path &file)
{
    m_pages.erase(file.lexically_normal());
}

std::optional<std::string> WrittenPages::pageFor(const std::filesystem::path &file) const
{
    const auto it = m_pages.find(file.lexically_normal());
    if (it == m_pages.end())
        return std::nullopt;
    return it->second;
}

void WrittenPages::setCharset(const std::filesystem::path &file, std::string charset)
{
    if (charset.empty())
        m_charsets.erase(file.lexically_normal());
    else
        m_charsets[file.lexically_normal()] = std::move(charset);
}

std::string WrittenPages::charsetOf(const std::filesystem::path &file) const
{
    const auto it = m_charsets.find(file.lexically_normal());
    return it == m_charsets.end() ? std::string() : it->second;
}

} // namespace velmora::navigation
