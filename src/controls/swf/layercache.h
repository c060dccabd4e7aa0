// Finished layers of filtered and blended objects, kept while the object, what it
// shows and how it is drawn stay the same: a button's shadowed plate is filtered once,
// not on every frame.
#pragma once

#include "controls/swf/displaylist.h"

#include <QImage>
#include <QRect>
#include <QTransform>

#include <map>

namespace velmora::swf {

// What an object shows, as one number: its character, in-between ratio and colour
// transform and, for sprites and buttons, every descendant's character, placement and
// state. The object's own matrix is left out: the key holds it.
std::size_t contentSignature(const Instance &object);

class LayerCache {
public:
    // Everything a finished layer depends on. An object that moves by whole device
    // pixels keeps its layer: `placement` is the object's full transform less those
    // pixels, `area` its layer's pixels relative to them.
    struct Key {
        std::size_t content = 0;
        QTransform placement;
        ColorTransform cx;
        BlendMode mode = BlendMode::Normal;
        std::vector<Filter> filters;
        QRect area;
        int quality = 0;
        int coarseness = 1; // device pixels per layer pixel either way
        friend bool operator==(const Key &, const Key &) = default;
    };

    struct Kept {
        const QImage *layer = nullptr; // null when none serves
        int coarseness = 1;
    };
    // The layer stored for the object with this serial under the same key, or under one
    // that differs only in being drawn finer: a layer drawn coarse for want of filter
    // work gives way to its full drawing, never the other way round.
    Kept find(std::uint64_t serial, const Key &key) const;
    void store(std::uint64_t serial, Key key, QImage layer);

private:
    struct Entry {
        Key key;
        QImage layer;
    };
    std::map<std::uint64_t, Entry> m_entries;
    std::int64_t m_pixels = 0;
};

} // namespace velmora::swf
