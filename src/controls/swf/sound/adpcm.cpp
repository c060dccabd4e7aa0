// The format's ADPCM: packets of 4096 samples per channel, each opening with a 16-bit
// sample and a 6-bit step index per channel, then codes of 2 to 5 bits (the width is
// given once, in the first two bits of the data), channels interleaved.
#include "controls/swf/sound/decoder.h"

#include "controls/swf/bitreader.h"

#include <array>

namespace velmora::swf {

namespace {

constexpr int kSamplesPerPacket = 4096;
constexpr int kPacketHeaderBits = 16 + 6; // per channel
constexpr int kMaxStepIndex = 88;

constexpr std::array<int, kMaxStepIndex + 1> kSteps = {
    7,    8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,   28,
    31,   34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,  118,
    130,  143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,  494,
    544,  598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878, 2066,
    2272, 2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845, 8630,
    9493, 10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

// Step index changes by the code's magnitude bits, for code widths 2..5.
constexpr std::array<int, 2> kIndex2 = {-1, 2};
constexpr std::array<int, 4> kIndex3 = {-1, -1, 2, 4};
constexpr std::array<int, 8> kIndex4 = {-1, -1, -1, -1, 2, 4, 6, 8};
constexpr std::array<int, 16> kIndex5 = {-1, -1, -1, -1, -1, -1, -1, -1, 1, 2, 4, 6, 8, 10, 13, 16};

struct Channel {
    int sample = 0;
    int index = 0;
};

class AdpcmDecoder {
public:
    explicit AdpcmDecoder(int codeBits) : m_bits(codeBits)
    {
        static constexpr std::array<const int *, 4> tables = {kIndex2.data(), kIndex3.data(), kIndex4.data(),
                                                              kIndex5.data()};
        m_indexTable = tables[static_cast<std::size_t>(codeBits - 2)];
    }

    std::int16_t decode(Channel &c, std::uint32_t code) const
    {
        const std::uint32_t sign = 1u << (m_bits - 1);
        const std::uint32_t magnitude = code & (sign - 1);
        int step = kSteps[static_cast<std::size_t>(c.index)];
        // diff = (magnitude + 1/2) * step / 2^(bits-2), summed bit by bit as the
        // integer decoder does, so that the results match to the sample.
        int diff = 0;
        for (std::uint32_t k = sign >> 1; k; k >>= 1) {
            if (magnitude & k)
                diff += step;
            step >>= 1;
        }
        diff += step;
        c.sample = std::clamp(code & sign ? c.sample - diff : c.sample + diff, -32768, 32767);
        c.index = std::clamp(c.index + m_indexTable[magnitude], 0, kMaxStepIndex);
        return static_cast<std::int16_t>(c.sample);
    }

private:
    int m_bits;
    const int *m_indexTable;
};

} // namespace

PcmBuffer decodeAdpcm(const SoundFormat &format, std::span<const std::uint8_t> data)
{
    PcmBuffer out;
    out.rate = format.rate();
    out.channels = format.channels;
    BitReader in(data);
    const std::size_t total = data.size() * 8;
    if (total < 2)
        return out;
    const int codeBits = static_cast<int>(in.bits(2)) + 2;
    std::size_t used = 2; // bits read so far
    const AdpcmDecoder decoder(codeBits);
    const auto channels = static_cast<std::size_t>(format.channels);
    std::array<Channel, 2> state;
    while (total - used >= kPacketHeaderBits * channels) {
        for (std::size_t ch = 0; ch < channels; ++ch) {
            state[ch].sample = in.sbits(16);
            state[ch].index = static_cast<int>(in.bits(6));
            used += kPacketHeaderBits;
            out.samples.push_back(static_cast<std::int16_t>(state[ch].sample));
        }
        for (int i = 1;
             i < kSamplesPerPacket && total - used >= static_cast<std::size_t>(codeBits) * channels; ++i) {
            if (out.samples.size() + channels > kMaxDecodedSamples)
                return out;
            for (std::size_t ch = 0; ch < channels; ++ch) {
                out.samples.push_back(decoder.decode(state[ch], in.bits(codeBits)));
                used += static_cast<std::size_t>(codeBits);
            }
        }
    }
    return out;
}

} // namespace velmora::swf
