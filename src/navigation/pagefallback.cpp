#include "navigation/pagefallback.h"

namespace velmora::navigation {

void PageFallback::keep(const std::filesystem::path &file, std::string bytes)
{
    m_pages[file.lexically_normal()] = std::move(bytes);
}

void PageFallback::release(const std::filesystem::path &file)
{
    m_pages.erase(file.lexically_normal());
}

std::optional<std::string> PageFallback::pageFor(const std::filesystem::path &file) const
{
    const auto it = m_pages.find(file.lexically_normal());
    if (it == m_pages.end())
        return std::nullopt;
    return it->second;
}

} // namespace velmora::navigation
