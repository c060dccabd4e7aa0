// The title of a book page as the web view shows it, read from the page's bytes without
// loading it: its <title>, decoded as the view decodes the page (a byte order mark,
// else the charset it is served with, else the one the page declares, else GBK, as
// pages without a declaration are written), entities replaced and white space collapsed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velmora::navigation {

// The bytes looked at for the title and the charset: a page's head comes first.
inline constexpr std::size_t kTitleSearchBytes = std::size_t{64} * 1024;
// Longer titles are cut: a name, not a text.
inline constexpr std::size_t kLongestTitleBytes = 1024;

// The title in UTF-8; empty when the page has none (or an empty one). `charset` is the
// one the page is served with; empty when it is left to the page.
std::string pageTitle(std::string_view page, std::string_view charset = {});

} // namespace velmora::navigation
