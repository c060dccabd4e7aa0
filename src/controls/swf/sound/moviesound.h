// The sound side of one playing movie: decodes each sound once, on first use, and
// plays what the timelines and buttons start on its own mixer. The host pulls the
// mixed 44.1 kHz stereo frames from render().
#pragma once

#include "controls/swf/movie.h"
#include "controls/swf/sound/decoder.h"
#include "controls/swf/sound/mixer.h"
#include "controls/swf/sound/soundevents.h"

#include <map>
#include <optional>

namespace velmora::swf {

class MovieSound : public SoundEvents {
public:
    explicit MovieSound(const Movie &movie) : m_movie(movie) {}

    void startSound(const StartSound &sound) override;
    void streamFrame(const void *owner, const StreamSound &stream, std::size_t block) override;
    void streamStop(const void *owner) override;
    // The block of its stream the sound of timeline `owner` plays now, if it plays.
    std::optional<std::size_t> streamBlock(const void *owner, const StreamSound &stream) const;

    // The movie was hidden: its streams end, its event sounds ring out.
    void stopStreams() { m_mixer.stop(VoiceOwner::Kind::Stream); }
    void stopAll() override { m_mixer.stopAll(); }
    bool isPlaying() const { return m_mixer.isPlaying(); }
    // Writes frames.size() / 2 stereo frames of what plays next.
    void render(std::span<std::int16_t> frames) { m_mixer.mix(frames); }

    // A definition as it plays, at 44.1 kHz stereo: from SeekSamples on, SoundSampleCount
    // frames. Empty when the sound is missing or does not decode.
    SoundClip clip(std::uint16_t soundId);

private:
    struct Stream {
        std::shared_ptr<const PcmBuffer> pcm;
        std::vector<std::size_t> blockStart; // 44.1 kHz frame of the played stream each block begins at
    };
    const Stream *decoded(const StreamSound &stream);
    bool withinBudget(const PcmBuffer &pcm);

    const Movie &m_movie;
    Mixer m_mixer;
    std::map<std::uint16_t, SoundClip> m_clips;
    std::map<const StreamSound *, Stream> m_streams;
    std::size_t m_decodedSamples = 0;
};

} // namespace velmora::swf
