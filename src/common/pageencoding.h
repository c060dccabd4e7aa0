// The encoding the book's pages are written in when they declare none: the web view
// decodes undeclared pages with it, the book scheme serves them marked with it, and page
// titles are read with it, so all three agree on what a page says.
#pragma once

namespace velmora {

inline constexpr const char *kUndeclaredPageEncoding = "GBK";

} // namespace velmora
