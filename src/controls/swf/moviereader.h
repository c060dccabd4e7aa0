// Reads a movie file: undoes the zlib/LZMA compression, then turns the tag stream
// into the Movie model. Tolerant of streams that end early, strict about limits.
#pragma once

#include "common/result.h"
#include "controls/swf/movie.h"

#include <span>

namespace velmora::swf {

// The largest uncompressed movie accepted.
constexpr std::size_t kMaxMovieBytes = std::size_t{64} * 1024 * 1024;

struct MovieBody {
    int version = 0;
    char compression = 'F'; // F, C or Z as in the signature
    std::uint32_t declaredLength = 0;
    std::vector<std::uint8_t> bytes; // everything after the 8-byte header
};

Result<MovieBody> decompressMovie(std::span<const std::uint8_t> file);
Result<std::shared_ptr<Movie>> readMovie(std::span<const std::uint8_t> file);

} // namespace velmora::swf
