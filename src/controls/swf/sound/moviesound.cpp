#include "controls/swf/sound/moviesound.h"

#include <cmath>

namespace velmora::swf {

namespace {

// Every decoded sound of one movie together, so that many long sounds cannot add up
// to more than 128 MiB.
constexpr std::size_t kMaxMovieSamples = 4 * kMaxDecodedSamples;
// A stream this many blocks away from where its timeline is jumps to the timeline;
// closer, it plays on (the output runs a little ahead of the frames).
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
    if (!pcm || pcm->channels < 1 || !withinBudget(*pcm))
        return clip;
    clip.first = def->second.format.codec == SoundCodec::Mp3 ? def->second.seekSamples : 0;
    clip.length = std::min<std::size_t>(def->second.sampleCount,
                                        kMaxDecodedSamples / static_cast<std::size_t>(pcm->channels));
    clip.pcm = std::make_shared<const PcmBuffer>(std::move(*pcm));
    return clip;
}

void MovieSound::startSound(const StartSound &sound)
{
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
    if (!result || result->pcm.channels < 1 || !withinBudget(result->pcm))
        return nullptr;
    for (std::size_t start : result->blockStart)
        entry.blockStart.push_back(start + result->skip);
    entry.pcm = std::make_shared<const PcmBuffer>(std::move(result->pcm));
    return &entry;
}

void MovieSound::streamFrame(const void *owner, const StreamSound &stream, std::size_t block)
{
    const Stream *s = decoded(stream);
    if (!s || block >= s->blockStart.size())
        return;
    const std::size_t target = s->blockStart[block];
    const VoiceOwner voice = streamOwner(owner);
    const double tolerance = kStreamDriftBlocks * std::max<double>(1, stream.head.samplesPerBlock);
    if (auto at = m_mixer.position(voice); at && std::abs(*at - static_cast<double>(target)) <= tolerance)
        return;
    m_mixer.stop(voice);
    if (target < s->pcm->frames())
        m_mixer.start(voice, {s->pcm, target, s->pcm->frames() - target});
}

void MovieSound::streamStop(const void *owner)
{
    m_mixer.stop(streamOwner(owner));
}

} // namespace velmora::swf
