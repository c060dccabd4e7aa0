// A sound server of a test's own: PulseAudio with one null sink, reached through a socket
// in a temporary folder and nowhere else, and a recorder on the sink's monitor, so that a
// test hears what the programs it starts play. Also the environment of a program that
// finds no sound server at all.
#pragma once

#include <QProcess>
#include <QTemporaryDir>

#include <cstdint>
#include <vector>

namespace velmora::testing {

class OwnSoundServer {
public:
    static constexpr int kRate = 44100;
    static constexpr int kChannels = 2;

    // Without `startServer` only the folder is made: for withoutServer().
    explicit OwnSoundServer(bool startServer = true);
    ~OwnSoundServer();
    OwnSoundServer(const OwnSoundServer &) = delete;
    OwnSoundServer &operator=(const OwnSoundServer &) = delete;

    bool isOpen() const { return m_server.state() == QProcess::Running; }
    // `base` with the variables that lead a sound client to this server.
    QProcessEnvironment environment(QProcessEnvironment base) const;
    // `base` for a client that finds no server and starts none.
    QProcessEnvironment withoutServer(QProcessEnvironment base) const;

    // Records what the sink plays from now on (44.1 kHz 16-bit stereo).
    bool startRecording();
    // The interleaved frames recorded since startRecording().
    std::vector<std::int16_t> stopRecording();
    // The server goes away, as one does when its user logs out or it crashes.
    void kill();

private:
    QTemporaryDir m_dir;
    QProcess m_server;
    QProcess m_recorder;
};

} // namespace velmora::testing
