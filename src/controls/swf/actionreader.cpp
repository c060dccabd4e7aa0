#include "controls/swf/actionreader.h"

#include "controls/swf/bitreader.h"

namespace velmora::swf {

std::optional<ActionRecord> readActionRecord(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    if (offset >= bytes.size())
        return std::nullopt;
    BitReader in(bytes.subspan(offset));
    ActionRecord record;
    const std::uint8_t code = in.u8();
    record.code = static_cast<ActionCode>(code);
    if (record.code == ActionCode::End)
        return std::nullopt;
    if (code >= kFirstActionWithBody) {
        const std::size_t length = in.u16();
        record.body = in.bytes(std::min(length, in.remaining()));
    }
    record.next = offset + in.position();
    return record;
}

ActionBlock readActionBlock(std::span<const std::uint8_t> bytes)
{
    ActionBlock block;
    block.bytes.assign(bytes.begin(), bytes.end());
    std::size_t offset = 0;
    while (const auto record = readActionRecord(block.bytes, offset)) {
        offset = record->next;
        BitReader body(record->body);
        switch (record->code) {
        case ActionCode::NextFrame:
            block.simple.push_back({ActionOp::NextFrame, 0, {}});
            break;
        case ActionCode::PreviousFrame:
            block.simple.push_back({ActionOp::PrevFrame, 0, {}});
            break;
        case ActionCode::Play:
            block.simple.push_back({ActionOp::Play, 0, {}});
            break;
        case ActionCode::StopSounds:
            block.simple.push_back({ActionOp::StopSounds, 0, {}});
            break;
        case ActionCode::Stop:
            block.simple.push_back({ActionOp::Stop, 0, {}});
            break;
        case ActionCode::GotoFrame:
            block.simple.push_back({ActionOp::GotoFrame, body.u16(), {}});
            break;
        case ActionCode::GotoLabel:
            block.simple.push_back({ActionOp::GotoLabel, 0, body.string()});
            break;
        default:
            break; // the rest is for a script engine
        }
    }
    return block;
}

} // namespace velmora::swf
