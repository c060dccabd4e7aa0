#include "controls/swf/filterreader.h"

#include <cmath>
#include <cstring>

namespace velmora::swf {

namespace {

constexpr double kMaxBlur = 255;     // pixels, as the authoring tools allow
constexpr double kMaxDistance = 255; // pixels either way
constexpr int kMaxPasses = 15;
constexpr int kMaxKernelSide = 15;
constexpr std::size_t kMaxGradientStops = 15;

double fixed16(BitReader &in)
{
    return static_cast<std::int32_t>(in.u32()) / 65536.0;
}

float float32(BitReader &in)
{
    const std::uint32_t bits = in.u32();
    float v = 0;
    std::memcpy(&v, &bits, sizeof v);
    return std::isfinite(v) ? v : 0.0f;
}

void readBlur(BitReader &in, Filter &f)
{
    f.blurX = std::clamp(fixed16(in), 0.0, kMaxBlur);
    f.blurY = std::clamp(fixed16(in), 0.0, kMaxBlur);
}

void readOffset(BitReader &in, Filter &f)
{
    f.angle = fixed16(in);
    f.distance = std::clamp(fixed16(in), -kMaxDistance, kMaxDistance);
}

void readStrength(BitReader &in, Filter &f)
{
    f.strength = std::clamp(in.fixed8(), 0.0, 255.0);
}

// Inner, knockout and composite-source flags, then the pass count in the low bits
// (five of them; bevels use the fourth for "on top").
void readFlags(BitReader &in, Filter &f, bool hasOnTop)
{
    const int flags = in.u8();
    f.inner = flags & 0x80;
    f.knockout = flags & 0x40;
    f.hideObject = !(flags & 0x20);
    f.onTop = hasOnTop && (flags & 0x10);
    f.passes = std::min(flags & (hasOnTop ? 0x0F : 0x1F), kMaxPasses);
}

Filter readDropShadow(BitReader &in, FilterId kind)
{
    Filter f;
    f.kind = kind;
    f.color = in.rgba();
    readBlur(in, f);
    if (kind == FilterId::DropShadow)
        readOffset(in, f);
    readStrength(in, f);
    readFlags(in, f, false);
    return f;
}

Filter readBlurFilter(BitReader &in)
{
    Filter f;
    f.kind = FilterId::Blur;
    readBlur(in, f);
    f.passes = std::min(in.u8() >> 3, kMaxPasses);
    return f;
}

Filter readBevel(BitReader &in)
{
    Filter f;
    f.kind = FilterId::Bevel;
    f.color = in.rgba();
    f.highlight = in.rgba();
    readBlur(in, f);
    readOffset(in, f);
    readStrength(in, f);
    readFlags(in, f, true);
    return f;
}

Filter readGradientFilter(BitReader &in, FilterId kind)
{
    Filter f;
    f.kind = kind;
    const std::size_t count = in.u8();
    std::vector<Rgba> colors(count);
    for (Rgba &c : colors)
        c = in.rgba();
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t ratio = in.u8();
        if (i < kMaxGradientStops)
            f.gradient.push_back({ratio, colors[i]});
    }
    readBlur(in, f);
    readOffset(in, f);
    readStrength(in, f);
    readFlags(in, f, true);
    return f;
}

std::optional<Filter> readConvolution(BitReader &in)
{
    Filter f;
    f.kind = FilterId::Convolution;
    f.columns = in.u8();
    f.rows = in.u8();
    f.divisor = float32(in);
    f.bias = float32(in);
    const bool kept = f.columns <= kMaxKernelSide && f.rows <= kMaxKernelSide;
    const std::size_t taps = static_cast<std::size_t>(f.columns) * static_cast<std::size_t>(f.rows);
    if (kept) {
        f.kernel.resize(taps);
        for (float &v : f.kernel)
            v = float32(in);
    } else {
        in.skip(4 * taps);
    }
    f.color = in.rgba();
    const int flags = in.u8();
    f.clamp = flags & 0x02;
    f.preserveAlpha = flags & 0x01;
    if (!kept)
        return std::nullopt;
    return f;
}

Filter readColorMatrix(BitReader &in)
{
    Filter f;
    f.kind = FilterId::ColorMatrix;
    for (float &v : f.matrix)
        v = float32(in);
    return f;
}

} // namespace

std::vector<Filter> readFilterList(BitReader &in)
{
    std::vector<Filter> filters;
    const int count = in.u8();
    for (int i = 0; i < count; ++i) {
        const auto kind = static_cast<FilterId>(in.u8());
        switch (kind) {
        case FilterId::DropShadow:
        case FilterId::Glow:
            filters.push_back(readDropShadow(in, kind));
            break;
        case FilterId::Blur:
            filters.push_back(readBlurFilter(in));
            break;
        case FilterId::Bevel:
            filters.push_back(readBevel(in));
            break;
        case FilterId::GradientGlow:
        case FilterId::GradientBevel:
            filters.push_back(readGradientFilter(in, kind));
            break;
        case FilterId::Convolution:
            if (auto f = readConvolution(in))
                filters.push_back(std::move(*f));
            break;
        case FilterId::ColorMatrix:
            filters.push_back(readColorMatrix(in));
            break;
        default:
            throw BadTag("unknown filter");
        }
    }
    return filters;
}

} // namespace velmora::swf
