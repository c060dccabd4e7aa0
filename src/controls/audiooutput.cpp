#include "controls/audiooutput.h"

#include "controls/swf/sound/moviesound.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>

#include <algorithm>

namespace velmora::controls {

namespace {

constexpr int kChannels = 2;
constexpr int kBytesPerFrame = kChannels * 2;
// The device's buffer, kept full: what is written ahead of the sound server. Short,
// because a sound started by a click waits behind what is queued; long enough to
// outlast a late tick. (The server starts playing only once the buffer is full.)
constexpr std::chrono::milliseconds kDeviceBuffer{40};
constexpr std::chrono::milliseconds kTick{10};
// A server that was missing is looked for again no more often than this.
constexpr std::chrono::seconds kRetry{5};

qsizetype bytesFor(std::chrono::milliseconds span)
{
    return static_cast<qsizetype>(span.count()) * swf::kMixRate / 1000 * kBytesPerFrame;
}

} // namespace

AudioOutput &AudioOutput::instance()
{
    static AudioOutput *output = new AudioOutput(); // lives as long as the process
    return *output;
}

AudioOutput::~AudioOutput()
{
    FrameClock::instance().unsubscribe(this);
}

void AudioOutput::open()
{
    const auto now = std::chrono::steady_clock::now();
    if (m_device || (m_lastOpenAttempt != FrameClock::TimePoint{} && now - m_lastOpenAttempt < kRetry))
        return;
    m_lastOpenAttempt = now;
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    QAudioFormat format;
    format.setSampleRate(swf::kMixRate);
    format.setChannelCount(kChannels);
    format.setSampleFormat(QAudioFormat::Int16);
    if (device.isNull() || !device.isFormatSupported(format))
        return;
    m_sink = std::make_unique<QAudioSink>(device, format);
    m_sink->setBufferSize(bytesFor(kDeviceBuffer));
    m_device = m_sink->start();
    if (!m_device || m_sink->error() != QAudio::NoError)
        close();
}

void AudioOutput::close()
{
    m_device = nullptr;
    if (m_sink)
        m_sink->stop();
    m_sink.reset();
}

void AudioOutput::play(swf::MovieSound *source)
{
    if (std::find(m_sources.begin(), m_sources.end(), source) == m_sources.end())
        m_sources.push_back(source);
    FrameClock::instance().subscribe(this, kTick);
    fill();
}

void AudioOutput::withdraw(swf::MovieSound *source)
{
    std::erase(m_sources, source);
    if (m_sources.empty())
        FrameClock::instance().unsubscribe(this);
}

void AudioOutput::tick(FrameClock::TimePoint)
{
    fill();
}

void AudioOutput::fill()
{
    std::erase_if(m_sources, [](swf::MovieSound *s) { return !s->isPlaying(); });
    if (m_sources.empty()) {
        FrameClock::instance().unsubscribe(this);
        return;
    }
    open();
    if (m_sink && (m_sink->error() != QAudio::NoError || m_sink->state() == QAudio::StoppedState))
        close(); // the server went away
    // Without a server the movies still advance their sound, so that they end on time.
    const qsizetype wanted = m_device ? m_sink->bytesFree() : bytesFor(kTick);
    const qsizetype frames = wanted / kBytesPerFrame;
    if (frames <= 0)
        return;
    m_mix.assign(static_cast<std::size_t>(frames * kChannels), 0);
    m_part.resize(m_mix.size());
    for (swf::MovieSound *source : m_sources) {
        source->render(m_part);
        for (std::size_t i = 0; i < m_mix.size(); ++i)
            m_mix[i] = static_cast<std::int16_t>(std::clamp(m_mix[i] + m_part[i], -32768, 32767));
    }
    if (m_device)
        m_device->write(reinterpret_cast<const char *>(m_mix.data()), frames * kBytesPerFrame);
}

} // namespace velmora::controls
