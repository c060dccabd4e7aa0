#include "controls/swf/timelinereader.h"

#include "controls/swf/actionreader.h"
#include "controls/swf/filterreader.h"

namespace velmora::swf {

namespace {

// PlaceObject2 flags, and PlaceObject3's second flag byte.
enum PlaceFlag : int {
    Move = 0x01,
    HasCharacter = 0x02,
    HasMatrix = 0x04,
    HasColorTransform = 0x08,
    HasRatio = 0x10,
    HasName = 0x20,
    HasClipDepth = 0x40,
    HasClipActions = 0x80,
};
enum PlaceFlag3 : int {
    HasFilterList = 0x01,
    HasBlendMode = 0x02,
    HasCacheAsBitmap = 0x04,
    HasClassName = 0x08,
    HasImage = 0x10,
    HasVisible = 0x20,
    HasOpaqueBackground = 0x40,
};

} // namespace

BlendMode readBlendMode(BitReader &in)
{
    const int value = in.u8();
    return value > raw(BlendMode::Normal) && value <= raw(BlendMode::HardLight)
               ? static_cast<BlendMode>(value)
               : BlendMode::Normal;
}

bool TimelineReader::read(TagCode code, BitReader &body, Frame &frame, bool root) const
{
    switch (code) {
    case TagCode::PlaceObject:
        frame.commands.push_back(readPlaceObject(body));
        return true;
    case TagCode::PlaceObject2:
    case TagCode::PlaceObject3:
        frame.commands.push_back(readPlaceObject2(body, code == TagCode::PlaceObject3));
        return true;
    case TagCode::RemoveObject:
    case TagCode::RemoveObject2:
        frame.commands.push_back(readRemoveObject(body, code == TagCode::RemoveObject2));
        return true;
    case TagCode::DoAction:
        if (!m_scriptsElsewhere) {
            frame.actions.push_back(readActionBlock(body.rest()));
            frame.actions.back().commandsBefore = frame.commands.size();
        }
        return true;
    case TagCode::DoInitAction:
        if (!root)
            return false;
        if (!m_scriptsElsewhere) {
            InitActions init;
            init.spriteId = body.u16();
            init.actions = readActionBlock(body.rest());
            frame.initActions.push_back(std::move(init));
        }
        return true;
    case TagCode::FrameLabel:
        frame.label = body.string();
        return true;
    default:
        return false;
    }
}

PlaceCommand TimelineReader::readPlaceObject(BitReader &in)
{
    PlaceCommand c;
    c.characterId = in.u16();
    c.depth = in.u16();
    c.matrix = in.matrix();
    if (!in.atEnd())
        c.colorTransform = in.colorTransform(false);
    return c;
}

PlaceCommand TimelineReader::readPlaceObject2(BitReader &in, bool v3) const
{
    PlaceCommand c;
    const int flags = in.u8();
    const int flags2 = v3 ? in.u8() : 0;
    c.depth = in.u16();
    if (v3 && ((flags2 & HasClassName) || ((flags2 & HasImage) && (flags & HasCharacter))))
        in.string(); // class name
    c.move = flags & Move;
    if (flags & HasCharacter)
        c.characterId = in.u16();
    if (flags & HasMatrix)
        c.matrix = in.matrix();
    if (flags & HasColorTransform)
        c.colorTransform = in.colorTransform(true);
    if (flags & HasRatio)
        c.ratio = in.u16();
    if (flags & HasName)
        c.name = in.string();
    if (flags & HasClipDepth)
        c.clipDepth = in.u16();
    // Display options and clip actions that are cut short do not spoil the placement.
    try {
        if (flags2 & HasFilterList)
            c.filters = readFilterList(in);
        if (flags2 & HasBlendMode)
            c.blendMode = readBlendMode(in);
        if (flags2 & HasCacheAsBitmap)
            in.u8();
        if (flags2 & HasVisible)
            c.visible = in.u8() != 0;
        if (flags2 & HasOpaqueBackground)
            c.opaqueBackground = in.rgba();
        if (flags & HasClipActions)
            c.clipActions = readClipActions(in);
    } catch (const std::exception &) {
    }
    return c;
}

PlaceCommand TimelineReader::readRemoveObject(BitReader &in, bool v2)
{
    PlaceCommand c;
    c.kind = PlaceCommand::Kind::Remove;
    if (!v2)
        c.characterId = in.u16();
    c.depth = in.u16();
    return c;
}

// CLIPACTIONS: a reserved word, the union of the events, then one record per event
// set up to a record with no events. Event flags are 16 bits wide before version 6.
std::vector<ClipActions> TimelineReader::readClipActions(BitReader &in) const
{
    const bool wide = m_version >= 6;
    auto events = [&] { return wide ? in.u32() : in.u16(); };
    in.u16();
    events();
    std::vector<ClipActions> all;
    // A list cut short (no end record, a partial flags word) keeps the records read whole.
    while (in.remaining() >= (wide ? 4u : 2u)) {
        ClipActions clip;
        clip.events = events();
        if (clip.events == 0 || in.remaining() < 4)
            break;
        const std::size_t size = in.u32();
        BitReader record(in.bytes(std::min(size, in.remaining())));
        if (clip.events & kClipEventKeyPress)
            clip.keyCode = record.u8();
        clip.actions = readActionBlock(record.rest());
        all.push_back(std::move(clip));
    }
    return all;
}

} // namespace velmora::swf
