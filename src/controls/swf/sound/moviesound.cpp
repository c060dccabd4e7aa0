#include "controls/swf/sound/moviesound.h"

#include <algorithm>
#include <cmath>

namespace velmora::swf {

namespace {

// Every decoded sound of one movie together, so that many long sounds cannot add up
// to more than 128 MiB.
constexpr std::size_t kMaxMovieSamples = 4 * kMaxDecodedSamples;
// A stream this many blocks behind its timeline jumps to the timeline; closer, it plays
// on. A stream ahead plays on too: the timeline catches up by dropping frames.
constexpr double kStreamDriftBlocks = 2;

VoiceOwner eventOwner(std::uint16_t soundId)
{
    return {VoiceOwner::Kind::Event, soundId};
}

VoiceOwner streamOwner(const void *timeline)
{
    return {VoiceOwner::Kind::Stream, reinterpret_cast<std::uintptr_t>(timeline)};
}

} // namespace

bool MovieSound::withinBudget(const PcmBuffer &pcm)
{
    if (m_decodedSamples + pcm.samples.size() > kMaxMovieSamples)
        return false;
    m_decodedSamples += pcm.samples.size();
    return true;
}

SoundClip MovieSound::clip(std::uint16_t soundId)
{
    if (auto it = m_clips.find(soundId); it != m_clips.end())
        return it->second;
    SoundClip &clip = m_clips[soundId]; // one that fails stays empty: it is not decoded again
    auto def = m_movie.sounds.find(soundId);
    if (def == m_movie.sounds.end())
        return clip;
    auto pcm = decodeSound(def->second);
    if (!pcm || pcm->channels < 1 || pcm->frames() == 0)
        return clip; // nothing decodes: the sound is skipped
    // What plays: SoundSampleCount frames from SeekSamples on (MP3), padded with
    // silence where the data is shorter, by at most a second.
    const auto channels = static_cast<std::size_t>(pcm->channels);
    const std::size_t first = def->second.format.codec == SoundCodec::Mp3 ? def->second.seekSamples : 0;
    const std::size_t length =
        std::min<std::size_t>(def->second.sampleCount, pcm->frames() - std::min(first, pcm->frames()) +
                                                           static_cast<std::size_t>(pcm->rate));
    std::vector<std::int16_t> played(length * channels);
    const std::size_t available = std::min(length, pcm->frames() - std::min(first, pcm->frames()));
    std::copy_n(pcm->samples.begin() + static_cast<std::ptrdiff_t>(first * channels), available * channels,
                played.begin());
    pcm->samples = std::move(played);
    PcmBuffer mixed = toMixFormat(*pcm);
    if (mixed.samples.empty() || !withinBudget(mixed))
        return clip;
    clip.length = mixed.frames();
    clip.pcm = std::make_shared<const PcmBuffer>(std::move(mixed));
    return clip;
}

void MovieSound::startSound(const StartSound &start)
{
    StartSound sound = start;
    if (!sound.className.empty()) {
        const auto named = m_movie.exportedNames.find(sound.className);
        if (named == m_movie.exportedNames.end())
            return; // no sound of that name: nothing plays
        sound.soundId = named->second;
    }
    const VoiceOwner owner = eventOwner(sound.soundId);
    if (sound.info.syncStop) {
        m_mixer.stop(owner);
        return;
    }
    if (sound.info.syncNoMultiple && m_mixer.isPlaying(owner))
        return;
    m_mixer.start(owner, clip(sound.soundId), sound.info);
}

const MovieSound::Stream *MovieSound::decoded(const StreamSound &stream)
{
    if (auto it = m_streams.find(&stream); it != m_streams.end())
        return it->second.pcm ? &it->second : nullptr;
    Stream &entry = m_streams[&stream];
    auto result = decodeStream(stream);
    if (!result || result->pcm.channels < 1)
        return nullptr;
    PcmBuffer &native = result->pcm;
    const double rate = native.rate;
    native.samples.erase(
        native.samples.begin(),
        native.samples.begin() +
            static_cast<std::ptrdiff_t>(
                std::min(native.samples.size(), result->skip * static_cast<std::size_t>(native.channels))));
    PcmBuffer mixed = toMixFormat(native);
    if (mixed.samples.empty() || !withinBudget(mixed))
        return nullptr;
    for (std::size_t start : result->blockStart)
        entry.blockStart.push_back(
            static_cast<std::size_t>(std::llround(static_cast<double>(start) * kMixRate / rate)));
    entry.pcm = std::make_shared<const PcmBuffer>(std::move(mixed));
    return &entry;
}

void MovieSound::streamFrame(const void *owner, const StreamSound &stream, std::size_t block)
{
    const Stream *s = decoded(stream);
    if (!s || block >= s->blockStart.size())
        return;
    const std::size_t target = s->blockStart[block];
    const VoiceOwner voice = streamOwner(owner);
    const double perBlock = static_cast<double>(stream.head.samplesPerBlock) * kMixRate /
                            std::max(1.0, stream.head.format.rate());
    const double tolerance = kStreamDriftBlocks * std::max(1.0, perBlock);
    if (auto at = m_mixer.position(voice);
        at && static_cast<double>(*at) + tolerance >= static_cast<double>(target))
        return;
    m_mixer.stop(voice);
    if (target < s->pcm->frames())
        m_mixer.start(voice, {s->pcm, target, s->pcm->frames() - target});
}

std::optional<std::size_t> MovieSound::streamBlock(const void *owner, const StreamSound &stream) const
{
    const auto s = m_streams.find(&stream);
    const auto at = m_mixer.position(streamOwner(owner));
    if (s == m_streams.end() || !at || s->second.blockStart.empty())
        return std::nullopt;
    const auto &starts = s->second.blockStart;
    const auto next = std::upper_bound(starts.begin(), starts.end(), *at);
    return static_cast<std::size_t>(std::max<std::ptrdiff_t>(0, next - starts.begin() - 1));
}

void MovieSound::streamStop(const void *owner)
{
    m_mixer.stop(streamOwner(owner));
}

} // namespace velmora::swf
