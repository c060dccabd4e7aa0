// Every failure the movie engine reports, with its number and description. One table
// holds them all.
#pragma once

#include "common/error.h"

#include <string_view>

namespace velmora::swf {

enum class MovieError {
    FileTooShort,         // fewer bytes than a movie header
    NoSignature,          // not FWS, CWS or ZWS
    VersionZero,          // a version byte of 0
    LzmaHeaderIncomplete, // a ZWS file that ends inside its LZMA properties
    BodyUndecodable,      // nothing could be decompressed
    HeaderEndsEarly,      // the stage rectangle, frame rate or count is cut off
    CannotOpenFile,       // the movie file cannot be read
    UnknownSoundCodec,
    Mp3DecoderCannotStart,
    Mp3DataUnreadable,
    NoMp3Frame,
    NellymoserMissing,
    NellymoserCannotStart,
    InputEventsNotArray,   // an input events file that is not a JSON array
    InputEventsCannotOpen, // an input events file that cannot be read
};

// The error for `which`; `subject` (a file name) is appended to the descriptions of
// those that name one.
Error movieError(MovieError which, std::string_view subject = {});

} // namespace velmora::swf
