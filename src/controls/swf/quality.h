// How carefully a frame is drawn: Low as the movies' own player draws without
// anti-aliasing (outlines on the device's twip grid), High with anti-aliasing.
#pragma once

namespace velmora::swf {

enum class Quality { Low, High };

} // namespace velmora::swf
