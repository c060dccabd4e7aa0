// Text as the Jet 4 format stores it: UTF-16LE, optionally in the "compressed unicode"
// form (FF FE, then runs of one-byte and two-byte characters), and UTF-8 for callers.
#pragma once

#include <string>
#include <string_view>

namespace velmora::content {

// Stored Jet 4 text (plain UTF-16LE or FF FE compressed) to UTF-8. Unpaired surrogates
// become U+FFFD; an odd trailing byte is dropped.
std::string jetTextToUtf8(std::string_view stored);
std::string utf16leToUtf8(std::string_view utf16);
// UTF-8 to UTF-16LE; invalid sequences become U+FFFD.
std::string utf8ToUtf16le(std::string_view utf8);

} // namespace velmora::content
