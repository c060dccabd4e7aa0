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
    // topped up before this returns) until it falls silent or is withdrawn. The server
    // is fed silence for a moment after the last sound, so that the next one is quick.
    void play(swf::MovieSound *source);
    // The movie goes away: it is never read again.
    void withdraw(swf::MovieSound *source);
    // False while no sound server takes our samples.
    bool isOpen() const { return m_device != nullptr; }
    // The sound given to the server since it was opened, and how much of it has been
    // played: a sound started now is heard once the played time reaches today's written
    // time. Zero while closed.
    std::chrono::microseconds writtenTime() const;
    std::chrono::microseconds playedTime() const;

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
    FrameClock::TimePoint m_lastFill{};     // without a server: how far the sound has advanced
    FrameClock::TimePoint m_lastSounding{}; // the last fill with a sound playing
    std::int64_t m_writtenFrames = 0;       // since the sink was opened
    std::vector<std::int16_t> m_mix, m_part;
};

} // namespace velmora::controls
