#include "controls/swf/sound/wavfile.h"

#include <cstring>

namespace velmora::swf {

namespace {

constexpr std::uint16_t kPcmFormatTag = 1;
constexpr std::uint16_t kBitsPerSample = 16;
constexpr std::size_t kRiffHeader = 12, kChunkHeader = 8, kFmtSize = 16;

void put16(std::vector<std::uint8_t> &out, std::uint32_t v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(std::vector<std::uint8_t> &out, std::uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

void putTag(std::vector<std::uint8_t> &out, const char *tag)
{
    out.insert(out.end(), tag, tag + 4);
}

std::uint32_t get32(std::span<const std::uint8_t> b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

std::uint16_t get16(std::span<const std::uint8_t> b, std::size_t at)
{
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

} // namespace

std::vector<std::uint8_t> encodeWav(const PcmBuffer &pcm)
{
    const auto dataBytes = static_cast<std::uint32_t>(pcm.samples.size() * 2);
    const auto channels = static_cast<std::uint32_t>(pcm.channels);
    const auto rate = static_cast<std::uint32_t>(pcm.rate);
    std::vector<std::uint8_t> out;
    out.reserve(kRiffHeader + 2 * kChunkHeader + kFmtSize + dataBytes);
    putTag(out, "RIFF");
    put32(out, static_cast<std::uint32_t>(4 + 2 * kChunkHeader + kFmtSize) + dataBytes);
    putTag(out, "WAVE");
    putTag(out, "fmt ");
    put32(out, kFmtSize);
    put16(out, kPcmFormatTag);
    put16(out, channels);
    put32(out, rate);
    put32(out, rate * channels * 2);
    put16(out, channels * 2);
    put16(out, kBitsPerSample);
    putTag(out, "data");
    put32(out, dataBytes);
    for (std::int16_t s : pcm.samples)
        put16(out, static_cast<std::uint16_t>(s));
    return out;
}

std::optional<PcmBuffer> decodeWav(std::span<const std::uint8_t> file)
{
    if (file.size() < kRiffHeader || std::memcmp(file.data(), "RIFF", 4) != 0 ||
        std::memcmp(file.data() + 8, "WAVE", 4) != 0)
        return std::nullopt;
    PcmBuffer pcm;
    bool haveFormat = false;
    for (std::size_t at = kRiffHeader; at + kChunkHeader <= file.size();) {
        const std::uint32_t size = get32(file, at + 4);
        const std::size_t body = at + kChunkHeader;
        const std::size_t length = std::min<std::size_t>(size, file.size() - body);
        if (std::memcmp(file.data() + at, "fmt ", 4) == 0 && length >= kFmtSize) {
            if (get16(file, body) != kPcmFormatTag || get16(file, body + 14) != kBitsPerSample)
                return std::nullopt;
            pcm.channels = get16(file, body + 2);
            pcm.rate = get32(file, body + 4);
            haveFormat = pcm.channels > 0;
        } else if (std::memcmp(file.data() + at, "data", 4) == 0 && haveFormat) {
            pcm.samples.resize(length / 2);
            for (std::size_t i = 0; i < pcm.samples.size(); ++i)
                pcm.samples[i] = static_cast<std::int16_t>(get16(file, body + 2 * i));
            return pcm;
        }
        at = body + length + (length & 1);
    }
    return std::nullopt;
}

} // namespace velmora::swf
