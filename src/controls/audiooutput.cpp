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
// After the last sound ends the server is fed silence this long: a sound started soon
// after (the press after a rollover) joins a running stream, heard as soon as what is
// queued, rather than waiting for the server to start the stream anew and losing its
// first milliseconds while the server catches up.
constexpr std::chrono::seconds kLinger{2};
// Without a server the sound advances with the clock, by no more than this at once.
constexpr std::chrono::milliseconds kLongestSilentStep{100};

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
    m_writtenFrames = 0;
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

std::chrono::microseconds AudioOutput::writtenTime() const
{
    return std::chrono::microseconds(m_device ? m_writtenFrames * 1'000'000 / swf::kMixRate : 0);
}

std::chrono::microseconds AudioOutput::playedTime() const
{
    return std::chrono::microseconds(m_device ? m_sink->processedUSecs() : 0);
}

void AudioOutput::play(swf::MovieSound *source)
{
    if (m_sources.empty())
        m_lastFill = std::chrono::steady_clock::now(); // the silence before this sound is not owed
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
    const auto now = std::chrono::steady_clock::now();
    if (!m_sources.empty())
        m_lastSounding = now;
    else if (!m_device || now - m_lastSounding > kLinger) {
        FrameClock::instance().unsubscribe(this);
        return;
    }
    open();
    if (m_sink && (m_sink->error() != QAudio::NoError || m_sink->state() == QAudio::StoppedState))
        close(); // the server went away
    // Without a server the movies still advance their sound with the clock, so that
    // their sounds end on time and their streams keep in step.
    const auto sinceLastFill =
        std::min(std::chrono::duration_cast<std::chrono::milliseconds>(now - m_lastFill), kLongestSilentStep);
    const qsizetype wanted = m_device ? m_sink->bytesFree() : bytesFor(sinceLastFill);
    const qsizetype frames = wanted / kBytesPerFrame;
    if (frames <= 0)
        return;
    m_lastFill = now;
    m_mix.assign(static_cast<std::size_t>(frames * kChannels), 0);
    m_part.resize(m_mix.size());
    for (swf::MovieSound *source : m_sources) {
        source->render(m_part);
        for (std::size_t i = 0; i < m_mix.size(); ++i)
            m_mix[i] = static_cast<std::int16_t>(std::clamp(m_mix[i] + m_part[i], -32768, 32767));
    }
    if (m_device)
        m_writtenFrames +=
            m_device->write(reinterpret_cast<const char *>(m_mix.data()), frames * kBytesPerFrame) /
            kBytesPerFrame;
}

} // namespace velmora::controls
