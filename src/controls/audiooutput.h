// The process's one way to the desktop's sound server: a QAudioSink at 44.1 kHz 16-bit
// stereo, written on the GUI thread from the frame clock with the sum of every movie
// that plays a sound, a few tens of milliseconds ahead. No device, no server or a
// server that goes away: the movies play on silently and nobody is told.
#pragma once

#include "controls/frameclock.h"

#include <QObject>

#include <memory>
#include <vector>

class QAudioSink;
class QIODevice;

namespace velmora::swf {
class MovieSound;
}

namespace velmora::controls {

class AudioOutput : public QObject, private FrameClock::Client {
    Q_OBJECT
public:
    static AudioOutput &instance();
    ~AudioOutput() override;

    // A movie whose sound plays: it is mixed in from now on (at once: the output is
    // topped up before this returns) until it falls silent or is withdrawn.
    void play(swf::MovieSound *source);
    // The movie goes away: it is never read again.
    void withdraw(swf::MovieSound *source);
    // False while no sound server takes our samples.
    bool isOpen() const { return m_device != nullptr; }

private:
    AudioOutput() = default;
    void tick(FrameClock::TimePoint now) override;
    void open();
    void close();
    void fill();

    std::unique_ptr<QAudioSink> m_sink;
    QIODevice *m_device = nullptr;
    std::vector<swf::MovieSound *> m_sources;
    FrameClock::TimePoint m_lastOpenAttempt{};
    std::vector<std::int16_t> m_mix, m_part;
};

} // namespace velmora::controls
