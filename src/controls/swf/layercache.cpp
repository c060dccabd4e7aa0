#include "controls/swf/layercache.h"

#include <bit>
#include <functional>

namespace velmora::swf {

namespace {

// Past these the cache starts afresh, so that objects gone from the stage cost nothing
// for long.
constexpr std::size_t kMaxLayers = 256;
constexpr std::int64_t kMaxPixels = std::int64_t{16} * 1024 * 1024;

void mix(std::size_t &hash, std::size_t value)
{
    hash ^= value + 0x9E3779B97F4A7C15ULL + (hash << 6) + (hash >> 2);
}

void mix(std::size_t &hash, double value)
{
    mix(hash, static_cast<std::size_t>(std::bit_cast<std::uint64_t>(value)));
}

void mixObject(std::size_t &hash, const Instance &object, bool placement)
{
    mix(hash, static_cast<std::size_t>(object.serial));
    mix(hash, reinterpret_cast<std::size_t>(object.character));
    mix(hash, static_cast<std::size_t>(object.ratio));
    mix(hash, static_cast<std::size_t>(object.buttonState));
    mix(hash, static_cast<std::size_t>(object.clipDepth));
    mix(hash, static_cast<std::size_t>(object.visible));
    mix(hash, static_cast<std::size_t>(object.blendMode));
    mix(hash, object.filters.size());
    if (placement) {
        for (double v : {object.matrix.a, object.matrix.b, object.matrix.c, object.matrix.d, object.matrix.tx,
                         object.matrix.ty})
            mix(hash, v);
    }
    const ColorTransform &c = object.colorTransform;
    for (double v : {c.rMul, c.gMul, c.bMul, c.aMul, c.rAdd, c.gAdd, c.bAdd, c.aAdd})
        mix(hash, v);
    if (object.children) {
        for (const auto &[depth, child] : object.children->objects()) {
            mix(hash, static_cast<std::size_t>(depth));
            mixObject(hash, child, true);
        }
    }
}

} // namespace

std::size_t contentSignature(const Instance &object)
{
    std::size_t hash = 0;
    mixObject(hash, object, false);
    return hash;
}

LayerCache::Kept LayerCache::find(std::uint64_t serial, const Key &key) const
{
    auto it = m_entries.find(serial);
    if (it == m_entries.end())
        return {};
    const Key &kept = it->second.key;
    Key finer = key;
    finer.coarseness = kept.coarseness;
    if (kept.coarseness > key.coarseness || !(kept == finer))
        return {};
    return {&it->second.layer, kept.coarseness};
}

void LayerCache::store(std::uint64_t serial, Key key, QImage layer)
{
    const std::int64_t pixels = std::int64_t{layer.width()} * layer.height();
    if (pixels > kMaxPixels)
        return;
    auto it = m_entries.find(serial);
    if (it != m_entries.end()) {
        m_pixels -= std::int64_t{it->second.layer.width()} * it->second.layer.height();
        m_entries.erase(it);
    }
    if (m_entries.size() >= kMaxLayers || m_pixels + pixels > kMaxPixels) {
        m_entries.clear();
        m_pixels = 0;
    }
    m_pixels += pixels;
    m_entries.emplace(serial, Entry{std::move(key), std::move(layer)});
}

} // namespace velmora::swf
