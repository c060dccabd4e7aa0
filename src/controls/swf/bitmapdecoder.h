// Turns the movie's bitmap tags into premultiplied ARGB images. JPEG, PNG and GIF
// payloads go through Qt's image readers; the lossless formats are unpacked here.
#pragma once

#include "controls/swf/swfcodes.h"

#include <QImage>

#include <cstdint>
#include <span>
#include <string>

namespace velmora::swf {

// The largest bitmap accepted, in pixels; larger ones are refused as hostile.
constexpr std::int64_t kMaxBitmapPixels = std::int64_t{16} * 1024 * 1024;
// The pixels of all the bitmaps one movie may define: a few hundred bytes of zlib can
// claim a bitmap of the largest size, and a movie can hold any number of them.
constexpr std::int64_t kMaxMovieBitmapPixels = 2 * kMaxBitmapPixels;

// A JPEG (or PNG/GIF) payload, with the movie's shared JPEG tables glued on when
// given. Repairs the stray EOI/SOI pair before the frame header and a missing EOI.
QImage decodeJpegPayload(std::span<const std::uint8_t> data, std::span<const std::uint8_t> tables = {});

// DefineBitsJPEG3/4: the image plus a zlib stream of one alpha byte per pixel.
QImage applyJpegAlpha(QImage image, std::span<const std::uint8_t> compressedAlpha);

// DefineBitsLossless (withAlpha false) and DefineBitsLossless2 (true) bodies after
// the character id. Gives a null image and sets error on failure.
QImage decodeLossless(std::span<const std::uint8_t> body, bool withAlpha, std::string &error);

// The image of a bitmap tag (DefineBits, DefineBitsJPEG2 to 4, DefineBitsLossless
// and 2) from its body after the character id; DefineBits takes the movie's shared
// JPEG tables. Throws BadTag (or TruncatedData) when there is no image to be had.
QImage decodeBitmapTag(TagCode code, std::span<const std::uint8_t> body,
                       std::span<const std::uint8_t> jpegTables);

// Inflates a zlib stream, stopping at maxBytes; a stream that ends early gives what
// was inflated so far.
std::string inflateBounded(std::span<const std::uint8_t> data, std::size_t maxBytes);

} // namespace velmora::swf
