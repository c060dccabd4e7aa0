#include "controls/swf/framesignature.h"

#include "controls/swf/displaylist.h"
#include "controls/swf/player.h"

#include <bit>
#include <cstdint>
#include <span>

namespace velmora::swf {
namespace {

// FNV-1a over 64-bit words: collisions between two frames of one movie are negligible.
class SignatureHash {
public:
    void add(std::uint64_t word)
    {
        for (int shift = 0; shift < 64; shift += 8) {
            m_value ^= (word >> shift) & 0xffU;
            m_value *= 0x100000001b3ULL;
        }
    }
    void add(double value) { add(std::bit_cast<std::uint64_t>(value)); }
    void add(float value) { add(static_cast<std::uint64_t>(std::bit_cast<std::uint32_t>(value))); }
    void add(Rgba c)
    {
        add(static_cast<std::uint64_t>(c.r) << 24 | static_cast<std::uint64_t>(c.g) << 16 |
            static_cast<std::uint64_t>(c.b) << 8 | c.a);
    }
    template <typename T> void addAll(std::span<const T> values)
    {
        add(static_cast<std::uint64_t>(values.size()));
        for (const T &v : values)
            add(v);
    }
    std::uint64_t value() const { return m_value; }

private:
    std::uint64_t m_value = 0xcbf29ce484222325ULL;
};

void addFilter(SignatureHash &h, const Filter &f)
{
    h.add(static_cast<std::uint64_t>(f.kind));
    h.addAll(std::span<const float>(f.matrix));
    h.add(f.color);
    h.add(f.highlight);
    h.add(static_cast<std::uint64_t>(f.gradient.size()));
    for (const GradientStop &stop : f.gradient) {
        h.add(static_cast<std::uint64_t>(stop.ratio));
        h.add(stop.color);
    }
    for (double v : {f.blurX, f.blurY, f.angle, f.distance, f.strength})
        h.add(v);
    h.add(static_cast<std::uint64_t>(f.inner) | static_cast<std::uint64_t>(f.knockout) << 1 |
          static_cast<std::uint64_t>(f.hideObject) << 2 | static_cast<std::uint64_t>(f.onTop) << 3 |
          static_cast<std::uint64_t>(f.clamp) << 4 | static_cast<std::uint64_t>(f.preserveAlpha) << 5);
    h.add(static_cast<std::uint64_t>(f.passes));
    h.add(static_cast<std::uint64_t>(f.columns) << 32 | static_cast<std::uint32_t>(f.rows));
    h.addAll(std::span<const float>(f.kernel));
    h.add(f.divisor);
    h.add(f.bias);
}

void addList(SignatureHash &h, const DisplayList &list)
{
    h.add(static_cast<std::uint64_t>(list.objects().size()));
    for (const auto &[depth, object] : list.objects()) {
        h.add(static_cast<std::uint64_t>(static_cast<std::uint32_t>(depth)) << 16 | object.characterId);
        // What is drawn comes from the character itself (a script's empty clip has no id).
        h.add(static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(object.character)));
        const Matrix &m = object.matrix;
        for (double v : {m.a, m.b, m.c, m.d, m.tx, m.ty})
            h.add(v);
        const ColorTransform &ct = object.colorTransform;
        for (double v : {ct.rMul, ct.gMul, ct.bMul, ct.aMul, ct.rAdd, ct.gAdd, ct.bAdd, ct.aAdd})
            h.add(v);
        h.add(static_cast<std::uint64_t>(object.ratio) << 48 |
              static_cast<std::uint64_t>(static_cast<std::uint32_t>(object.clipDepth)) << 16 |
              static_cast<std::uint64_t>(object.visible) << 8 | static_cast<std::uint64_t>(object.blendMode));
        h.add(static_cast<std::uint64_t>(object.buttonState));
        h.add(static_cast<std::uint64_t>(object.opaqueBackground.has_value()));
        if (object.opaqueBackground)
            h.add(*object.opaqueBackground);
        h.add(static_cast<std::uint64_t>(object.filters.size()));
        for (const Filter &f : object.filters)
            addFilter(h, f);
        if (object.children)
            addList(h, *object.children);
        else
            h.add(~static_cast<std::uint64_t>(0)); // no nested list: not the same as an empty one
    }
}

} // namespace

std::uint64_t frameSignature(const Player &player)
{
    SignatureHash h;
    h.add(static_cast<std::uint64_t>(player.backgroundColor().rgba()));
    addList(h, player.root());
    return h.value();
}

} // namespace velmora::swf
