#include "controls/swf/sound/soundtags.h"

namespace velmora::swf {

namespace {

// One block per frame, and frame numbers are 16-bit.
constexpr std::size_t kMaxStreamBlocks = 65535;

SoundFormat readFormatBits(BitReader &in)
{
    SoundFormat f;
    const auto codec = in.bits(4);
    if (codec > static_cast<std::uint32_t>(SoundCodec::Nellymoser))
        throw BadSound("sound codec " + std::to_string(codec) + " is not played");
    f.codec = static_cast<SoundCodec>(codec);
    f.rateCode = static_cast<int>(in.bits(2));
    f.sixteenBit = in.flag();
    f.channels = in.flag() ? 2 : 1;
    return f;
}

} // namespace

double SoundFormat::rate() const
{
    switch (codec) {
    case SoundCodec::Nellymoser8k:
        return 8000;
    case SoundCodec::Nellymoser16k:
        return 16000;
    default:
        return rateCode == 0 ? kMixRate / 8.0 : static_cast<double>(11025 << (rateCode - 1));
    }
}

std::pair<std::uint16_t, SoundDefinition> readDefineSound(BitReader &in)
{
    const std::uint16_t id = in.u16();
    SoundDefinition def;
    def.format = readFormatBits(in);
    in.align();
    def.sampleCount = in.u32();
    if (def.format.codec == SoundCodec::Mp3)
        def.seekSamples = in.u16();
    const auto rest = in.rest();
    def.data.assign(rest.begin(), rest.end());
    return {id, std::move(def)};
}

SoundInfo readSoundInfo(BitReader &in)
{
    SoundInfo info;
    const int flags = in.u8();
    info.syncStop = flags & 0x20;
    info.syncNoMultiple = flags & 0x10;
    if (flags & 0x01)
        info.inPoint = in.u32();
    if (flags & 0x02)
        info.outPoint = in.u32();
    if (flags & 0x04)
        info.loops = std::max<int>(1, in.u16());
    if (flags & 0x08) {
        const int points = in.u8();
        for (int i = 0; i < points; ++i) {
            EnvelopePoint p;
            p.position = in.u32();
            p.left = std::min<std::uint16_t>(in.u16(), 32768);
            p.right = std::min<std::uint16_t>(in.u16(), 32768);
            info.envelope.push_back(p);
        }
    }
    return info;
}

StartSound readStartSound(BitReader &in)
{
    StartSound s;
    s.soundId = in.u16();
    s.info = readSoundInfo(in);
    return s;
}

StartSound readStartSound2(BitReader &in)
{
    StartSound s;
    s.className = in.string();
    s.info = readSoundInfo(in);
    return s;
}

void readExportedNames(BitReader &in, std::map<std::string, std::uint16_t> &names)
{
    // Each entry takes at least three bytes, so the count is bounded by the body.
    const std::uint16_t count = in.u16();
    for (std::uint16_t i = 0; i < count; ++i) {
        const std::uint16_t id = in.u16();
        names.insert_or_assign(in.string(), id);
    }
}

std::pair<std::uint16_t, ButtonSounds> readButtonSound(BitReader &in)
{
    const std::uint16_t buttonId = in.u16();
    ButtonSounds sounds;
    for (auto &entry : sounds) {
        const std::uint16_t soundId = in.u16();
        if (soundId != 0)
            entry = StartSound{soundId, readSoundInfo(in), {}};
    }
    return {buttonId, sounds};
}

StreamHead readStreamHead(BitReader &in)
{
    StreamHead head;
    in.bits(8); // reserved, then the playback rate, size and channels the author asked for:
                // the stream's own are what play
    head.format = readFormatBits(in);
    in.align();
    head.samplesPerBlock = in.u16();
    if (head.format.codec == SoundCodec::Mp3 && in.remaining() >= 2)
        head.latencySeek = in.s16();
    return head;
}

bool readSoundTag(TagCode code, BitReader &in, Movie &movie, Timeline &timeline, Frame &frame, bool root)
{
    switch (code) {
    case TagCode::DefineSound:
        if (root) {
            auto [id, sound] = readDefineSound(in);
            movie.sounds.insert_or_assign(id, std::move(sound));
        }
        return true;
    case TagCode::DefineButtonSound:
        if (root) {
            auto [id, sounds] = readButtonSound(in);
            auto it = movie.characters.find(id);
            if (it != movie.characters.end() && std::holds_alternative<Button>(it->second))
                std::get<Button>(it->second).sounds = sounds;
        }
        return true;
    case TagCode::StartSound:
        frame.sounds.push_back(readStartSound(in));
        return true;
    case TagCode::StartSound2:
        frame.sounds.push_back(readStartSound2(in));
        return true;
    case TagCode::ExportAssets:
    case TagCode::SymbolClass:
        if (!root)
            return false;
        readExportedNames(in, movie.exportedNames);
        return true;
    case TagCode::SoundStreamHead:
    case TagCode::SoundStreamHead2:
        if (!timeline.stream) // a second head in one timeline changes nothing
            timeline.stream = StreamSound{readStreamHead(in), {}};
        return true;
    case TagCode::SoundStreamBlock:
        if (timeline.stream && timeline.stream->blocks.size() < kMaxStreamBlocks) {
            const auto rest = in.rest();
            timeline.stream->blocks.push_back({static_cast<int>(timeline.frames.size()),
                                               std::vector<std::uint8_t>(rest.begin(), rest.end())});
        }
        return true;
    default:
        return false;
    }
}

} // namespace velmora::swf
