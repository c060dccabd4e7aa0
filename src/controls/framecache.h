// The pictures of a movie's frames as painted, found by their frame signature, so that a
// movie that loops paints each of its distinct frames once and then copies them. The
// pictures hold for one size and pixel ratio; a button keeps at most a few of them.
#pragma once

#include <QImage>
#include <QSize>

#include <cstdint>
#include <unordered_map>

namespace velmora::controls {

class FrameCache {
public:
    // What one button keeps at most: a movie with more distinct frames, or larger ones,
    // paints the rest as it goes.
    static constexpr int kMaxFrames = 64;
    static constexpr qsizetype kMaxBytes = qsizetype{1} << 20;

    // The picture of the frame with `signature` painted at `size` and `ratio`, or null.
    // A different size or ratio than the pictures kept were painted for forgets them.
    const QImage *find(std::uint64_t signature, QSize size, qreal ratio);
    // Keeps `frame` while the budget allows.
    void insert(std::uint64_t signature, const QImage &frame);
    void clear();

private:
    std::unordered_map<std::uint64_t, QImage> m_frames;
    QSize m_size;
    qreal m_ratio = 0;
    qsizetype m_bytes = 0;
};

} // namespace velmora::controls
