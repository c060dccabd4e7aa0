#include "controls/framecache.h"

namespace velmora::controls {

const QImage *FrameCache::find(std::uint64_t signature, QSize size, qreal ratio)
{
    if (size != m_size || ratio != m_ratio) {
        clear();
        m_size = size;
        m_ratio = ratio;
        return nullptr;
    }
    const auto it = m_frames.find(signature);
    return it == m_frames.end() ? nullptr : &it->second;
}

void FrameCache::insert(std::uint64_t signature, const QImage &frame)
{
    if (static_cast<int>(m_frames.size()) >= kMaxFrames || m_bytes + frame.sizeInBytes() > kMaxBytes)
        return;
    const qsizetype bytes = frame.sizeInBytes();
    if (m_frames.try_emplace(signature, frame).second)
        m_bytes += bytes;
}

void FrameCache::clear()
{
    m_frames.clear();
    m_bytes = 0;
}

} // namespace velmora::controls
