#include "controls/swf/movieerror.h"

#include <array>
#include <string>

namespace velmora::swf {
namespace {

struct ErrorRecord {
    MovieError which;
    long number;
    const char *description;
};

// In the order of MovieError.
constexpr std::array kErrors{
    ErrorRecord{MovieError::FileTooShort, 1, "SWF: the file is too short to be a movie"},
    ErrorRecord{MovieError::NoSignature, 2, "SWF: the file does not start with a movie signature"},
    ErrorRecord{MovieError::VersionZero, 3, "SWF: version 0 is not a movie version"},
    ErrorRecord{MovieError::LzmaHeaderIncomplete, 4, "SWF: the LZMA header is incomplete"},
    ErrorRecord{MovieError::BodyUndecodable, 5, "SWF: the movie body could not be decompressed"},
    ErrorRecord{MovieError::HeaderEndsEarly, 6, "SWF: the movie header ends early"},
    ErrorRecord{MovieError::CannotOpenFile, 10, "SWF: cannot open"},
    ErrorRecord{MovieError::UnknownSoundCodec, 20, "sound: unknown codec"},
    ErrorRecord{MovieError::Mp3DecoderCannotStart, 21, "sound: the MP3 decoder cannot start"},
    ErrorRecord{MovieError::Mp3DataUnreadable, 22, "sound: the MP3 data cannot be read"},
    ErrorRecord{MovieError::NoMp3Frame, 23, "sound: no MP3 frame found"},
    ErrorRecord{MovieError::NellymoserMissing, 24, "sound: the Nellymoser decoder is missing"},
    ErrorRecord{MovieError::NellymoserCannotStart, 24, "sound: the Nellymoser decoder cannot start"},
    ErrorRecord{MovieError::InputEventsNotArray, 30, "input events: not a JSON array"},
    ErrorRecord{MovieError::InputEventsCannotOpen, 31, "input events: cannot open"},
};

constexpr bool inEnumOrder()
{
    for (std::size_t i = 0; i < kErrors.size(); ++i) {
        if (kErrors[i].which != static_cast<MovieError>(i))
            return false;
    }
    return true;
}
static_assert(inEnumOrder() && kErrors.back().which == MovieError::InputEventsCannotOpen);

} // namespace

Error movieError(MovieError which, std::string_view subject)
{
    const ErrorRecord &record = kErrors.at(static_cast<std::size_t>(which));
    std::string text = record.description;
    if (!subject.empty())
        text.append(" ").append(subject);
    return Error(record.number, std::move(text));
}

} // namespace velmora::swf
