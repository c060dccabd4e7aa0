// Reads action records: one record at an offset of a bounded byte range (what a
// script engine steps through, jumps included), and whole action blocks with the
// frame controls among them decoded for the timeline.
#pragma once

#include "controls/swf/movie.h"
#include "controls/swf/swfcodes.h"

#include <cstdint>
#include <optional>
#include <span>

namespace velmora::swf {

struct ActionRecord {
    ActionCode code = ActionCode::End;  // as stored; it may name no known action
    std::span<const std::uint8_t> body; // empty for codes below kFirstActionWithBody
    std::size_t next = 0;               // offset of the following record
};

// The record starting at `offset` of `bytes`; none at an End record or past the
// end. A body that runs past the end is cut there; a length field cut short throws
// TruncatedData.
std::optional<ActionRecord> readActionRecord(std::span<const std::uint8_t> bytes, std::size_t offset);

// Keeps a copy of the bytes and decodes the frame controls up to the End record.
// A frame control whose body is cut short throws TruncatedData.
ActionBlock readActionBlock(std::span<const std::uint8_t> bytes);

} // namespace velmora::swf
