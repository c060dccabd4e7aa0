// What the player does with an address a movie's script asks for (getURL): nothing
// reaches the network or the file system from the player itself.
#pragma once

#include <cstdint>
#include <string_view>

namespace velmora::swf {

enum class UrlRequest : std::uint8_t {
    Ignore,        // javascript:, file:, other fscommands, relative names, anything else
    Quit,          // fscommand("quit"): the standalone player closes
    OpenOnDesktop, // http, https and mailto: the desktop's handler, from a user action only
};

// Longer addresses are ignored: no handler needs them, and they are a movie's noise.
constexpr std::size_t kMaxUrlBytes = 4096;

UrlRequest classifyUrl(std::string_view address);

} // namespace velmora::swf
