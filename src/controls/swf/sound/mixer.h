// Plays decoded sounds at 44.1 kHz stereo: each voice a stretch of a PcmBuffer,
// resampled linearly, with in/out points, loops and a volume envelope (SOUNDINFO).
// Pure arithmetic: the audio device is fed elsewhere.
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

// Native frames [first, first + length) of a buffer; frames past the buffer's end
// are silence (a sound may say it is longer than its data).
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
    // The native frame a voice of `owner` plays next, if one plays.
    std::optional<double> position(VoiceOwner owner) const;

    // Writes frames.size() / 2 stereo frames (left, right), replacing what was there.
    void mix(std::span<std::int16_t> frames);

private:
    struct Voice {
        VoiceOwner owner;
        SoundClip clip;
        std::vector<EnvelopePoint> envelope;
        double step = 1;   // native frames per output frame
        double start = 0;  // native frame each play begins at
        double end = 0;    // and ends before
        double position = 0;
        int playsLeft = 1;
        std::uint64_t elapsed = 0; // output frames since the voice began
    };
    static bool render(Voice &voice, std::span<float> mix);

    std::vector<Voice> m_voices;
    std::vector<float> m_buffer;
};

} // namespace velmora::swf
