#include "ownsoundserver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTest>

#include <cstring>

namespace velmora::testing {
namespace {

constexpr int kStartTimeoutMs = 10000;
const QString kSink = QStringLiteral("velmora_test");

// The client settings of every program the test starts: never start a server of one's own.
void writeClientConfig(const QString &file)
{
    QFile config(file);
    if (config.open(QIODevice::WriteOnly))
        config.write("autospawn = no\n");
}

} // namespace

OwnSoundServer::OwnSoundServer(bool startServer)
{
    const QString pulseaudio = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
    writeClientConfig(m_dir.filePath(QStringLiteral("client.conf")));
    if (!startServer || !m_dir.isValid() || pulseaudio.isEmpty())
        return;
    // A user-mode server (root is warned, not refused) that reads no configuration, keeps
    // its runtime files in our folder and lives until killed. Shared memory is left out:
    // the socket is enough, and the server's memfd warnings go away.
    m_server.setProcessEnvironment(environment(QProcessEnvironment::systemEnvironment()));
    m_server.setStandardOutputFile(QProcess::nullDevice());
    m_server.setStandardErrorFile(m_dir.filePath(QStringLiteral("server.log")));
    m_server.start(pulseaudio, {QStringLiteral("-n"), QStringLiteral("--daemonize=no"),
                                QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--use-pid-file=no"),
                                QStringLiteral("--disable-shm=yes"), QStringLiteral("-L"),
                                QStringLiteral("module-null-sink sink_name=") + kSink, QStringLiteral("-L"),
                                QStringLiteral("module-native-protocol-unix auth-anonymous=1 socket=") +
                                    m_dir.filePath(QStringLiteral("native"))});
    if (!m_server.waitForStarted(kStartTimeoutMs))
        return;
    QElapsedTimer clock;
    clock.start();
    while (!QFile::exists(m_dir.filePath(QStringLiteral("native"))) && clock.elapsed() < kStartTimeoutMs &&
           m_server.state() == QProcess::Running)
        QTest::qWait(20);
    if (!QFile::exists(m_dir.filePath(QStringLiteral("native"))))
        kill();
}

OwnSoundServer::~OwnSoundServer()
{
    stopRecording();
    kill();
}

QProcessEnvironment OwnSoundServer::environment(QProcessEnvironment base) const
{
    base.insert(QStringLiteral("PULSE_SERVER"),
                QStringLiteral("unix:") + m_dir.filePath(QStringLiteral("native")));
    base.insert(QStringLiteral("PULSE_RUNTIME_PATH"), m_dir.path());
    base.insert(QStringLiteral("PULSE_STATE_PATH"), m_dir.path());
    base.insert(QStringLiteral("PULSE_CLIENTCONFIG"), m_dir.filePath(QStringLiteral("client.conf")));
    base.insert(QStringLiteral("PULSE_SINK"), kSink);
    return base;
}

QProcessEnvironment OwnSoundServer::withoutServer(QProcessEnvironment base) const
{
    base = environment(base);
    base.insert(QStringLiteral("PULSE_SERVER"),
                QStringLiteral("unix:") + m_dir.filePath(QStringLiteral("none")));
    return base;
}

bool OwnSoundServer::startRecording()
{
    const QString parec = QStandardPaths::findExecutable(QStringLiteral("parec"));
    if (!isOpen() || parec.isEmpty())
        return false;
    QFile::remove(m_dir.filePath(QStringLiteral("monitor.raw")));
    m_recorder.setProcessEnvironment(environment(QProcessEnvironment::systemEnvironment()));
    m_recorder.setStandardOutputFile(m_dir.filePath(QStringLiteral("monitor.raw")));
    m_recorder.setStandardErrorFile(m_dir.filePath(QStringLiteral("recorder.log")));
    m_recorder.start(
        parec, {QStringLiteral("--device=") + kSink + QStringLiteral(".monitor"), QStringLiteral("--raw"),
                QStringLiteral("--format=s16le"), QStringLiteral("--rate=%1").arg(kRate),
                QStringLiteral("--channels=%1").arg(kChannels), QStringLiteral("--latency-msec=10")});
    if (!m_recorder.waitForStarted(kStartTimeoutMs))
        return false;
    // Recording begins once the stream is connected: the first bytes tell.
    QElapsedTimer clock;
    clock.start();
    QFile file(m_dir.filePath(QStringLiteral("monitor.raw")));
    while (file.size() == 0 && clock.elapsed() < kStartTimeoutMs && m_recorder.state() == QProcess::Running)
        QTest::qWait(20);
    return file.size() > 0;
}

std::vector<std::int16_t> OwnSoundServer::stopRecording()
{
    if (m_recorder.state() == QProcess::NotRunning)
        return {};
    m_recorder.terminate();
    if (!m_recorder.waitForFinished(5000)) {
        m_recorder.kill();
        m_recorder.waitForFinished(5000);
    }
    QFile file(m_dir.filePath(QStringLiteral("monitor.raw")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    std::vector<std::int16_t> frames(static_cast<std::size_t>(bytes.size()) / sizeof(std::int16_t));
    std::memcpy(frames.data(), bytes.constData(), frames.size() * sizeof(std::int16_t));
    return frames;
}

void OwnSoundServer::kill()
{
    if (m_server.state() == QProcess::NotRunning)
        return;
    m_server.kill();
    m_server.waitForFinished(5000);
}

} // namespace velmora::testing
