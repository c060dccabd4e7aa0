#include "controls/swf/sound/mixer.h"

#include <algorithm>
#include <cmath>

namespace velmora::swf {

namespace {

constexpr float kFullLevel = 32768.0f; // envelope levels: 0..32768

// The envelope's gains at `position` (44.1 kHz frames since the voice began):
// linear between points, the first level before them, the last one after.
std::pair<float, float> envelopeAt(const std::vector<EnvelopePoint> &points, std::uint64_t position)
{
    if (points.empty())
        return {1.0f, 1.0f};
    auto next = std::find_if(points.begin(), points.end(),
                             [&](const EnvelopePoint &p) { return p.position > position; });
    if (next == points.begin())
        return {next->left / kFullLevel, next->right / kFullLevel};
    const EnvelopePoint &a = *(next - 1);
    if (next == points.end())
        return {a.left / kFullLevel, a.right / kFullLevel};
    const EnvelopePoint &b = *next;
    const float t = static_cast<float>(position - a.position) / static_cast<float>(b.position - a.position);
    return {(a.left + (b.left - a.left) * t) / kFullLevel, (a.right + (b.right - a.right) * t) / kFullLevel};
}

} // namespace

bool Mixer::start(VoiceOwner owner, SoundClip clip, const SoundInfo &info)
{
    if (m_voices.size() >= kMaxVoices || !clip.pcm || clip.pcm->channels != 2)
        return false;
    const std::size_t frames = clip.pcm->frames();
    const std::size_t first = std::min(clip.first, frames), last = std::min(frames, first + clip.length);
    Voice v;
    v.owner = owner;
    v.start = std::min<std::size_t>(last, first + info.inPoint.value_or(0));
    v.end = info.outPoint ? std::min<std::size_t>(last, first + *info.outPoint) : last;
    if (v.end <= v.start)
        return false;
    v.position = v.start;
    v.playsLeft = std::max(1, info.loops);
    v.envelope = info.envelope;
    v.pcm = std::move(clip.pcm);
    m_voices.push_back(std::move(v));
    return true;
}

void Mixer::stop(VoiceOwner owner)
{
    std::erase_if(m_voices, [&](const Voice &v) { return v.owner == owner; });
}

void Mixer::stop(VoiceOwner::Kind kind)
{
    std::erase_if(m_voices, [&](const Voice &v) { return v.owner.kind == kind; });
}

void Mixer::stopAll()
{
    m_voices.clear();
}

bool Mixer::isPlaying(VoiceOwner owner) const
{
    return std::any_of(m_voices.begin(), m_voices.end(), [&](const Voice &v) { return v.owner == owner; });
}

std::optional<std::size_t> Mixer::position(VoiceOwner owner) const
{
    for (const Voice &v : m_voices) {
        if (v.owner == owner)
            return v.position;
    }
    return std::nullopt;
}

bool Mixer::render(Voice &v, std::span<float> mix)
{
    const std::int16_t *samples = v.pcm->samples.data();
    for (std::size_t i = 0; i + 1 < mix.size(); i += 2) {
        if (v.position >= v.end) {
            if (--v.playsLeft <= 0)
                return false;
            v.position = v.start;
        }
        const auto [left, right] = envelopeAt(v.envelope, v.elapsed);
        mix[i] += samples[2 * v.position] * left;
        mix[i + 1] += samples[2 * v.position + 1] * right;
        ++v.position;
        ++v.elapsed;
    }
    return v.position < v.end || v.playsLeft > 1;
}

void Mixer::mix(std::span<std::int16_t> frames)
{
    m_buffer.assign(frames.size(), 0.0f);
    std::erase_if(m_voices, [&](Voice &v) { return !render(v, m_buffer); });
    for (std::size_t i = 0; i < frames.size(); ++i)
        frames[i] = static_cast<std::int16_t>(std::clamp(std::lrint(m_buffer[i]), -32768L, 32767L));
}

} // namespace velmora::swf
