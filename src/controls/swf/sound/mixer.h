// Plays sounds already brought to 44.1 kHz stereo: each voice a stretch of a buffer,
// with in/out points, loops and a volume envelope (SOUNDINFO). Pure arithmetic: the
// audio device is fed elsewhere.
#pragma once

#include "controls/swf/sound/sound.h"

#include <memory>
#include <span>

namespace velmora::swf {

// Who a voice belongs to: an event sound by its id, a stream by its timeline.
struct VoiceOwner {
    enum class Kind { Event, Stream };
    Kind kind = Kind::Event;
    std::uintptr_t id = 0;
    bool operator==(const VoiceOwner &) const = default;
};

// Frames [first, first + length) of a 44.1 kHz stereo buffer.
struct SoundClip {
    std::shared_ptr<const PcmBuffer> pcm;
    std::size_t first = 0;
    std::size_t length = 0;
};

class Mixer {
public:
    // At most this many sounds play at once; a sound started beyond them is not heard.
    static constexpr std::size_t kMaxVoices = 32;

    // False when every voice is taken or the clip holds nothing.
    bool start(VoiceOwner owner, SoundClip clip, const SoundInfo &info = {});
    void stop(VoiceOwner owner);
    void stop(VoiceOwner::Kind kind);
    void stopAll();
    bool isPlaying(VoiceOwner owner) const;
    bool isPlaying() const { return !m_voices.empty(); }
    // The frame of its clip's buffer a voice of `owner` plays next, if one plays.
    std::optional<std::size_t> position(VoiceOwner owner) const;

    // Writes frames.size() / 2 stereo frames (left, right), replacing what was there.
    void mix(std::span<std::int16_t> frames);

private:
    struct Voice {
        VoiceOwner owner;
        std::shared_ptr<const PcmBuffer> pcm;
        std::vector<EnvelopePoint> envelope;
        std::size_t start = 0; // frame each play begins at
        std::size_t end = 0;   // and ends before
        std::size_t position = 0;
        int playsLeft = 1;
        std::uint64_t elapsed = 0; // output frames since the voice began
    };
    static bool render(Voice &voice, std::span<float> mix);

    std::vector<Voice> m_voices;
    std::vector<float> m_buffer;
};

} // namespace velmora::swf
