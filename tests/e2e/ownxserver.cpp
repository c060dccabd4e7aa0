#include "ownxserver.h"

#include <QElapsedTimer>

namespace velmora::testing {

OwnXServer::OwnXServer(QSize screen)
{
    // -displayfd: the server picks a free display number and writes it to stdout.
    m_server.setProgram(QStringLiteral("Xvfb"));
    m_server.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                           QStringLiteral("0"),
                           QStringLiteral("%1x%2x24").arg(screen.width()).arg(screen.height()),
                           QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    // Its warnings (xkbcomp's, at every keymap change) must not fill a pipe nobody reads:
    // the server would stop.
    m_server.setStandardErrorFile(QProcess::nullDevice());
    m_server.start();
    if (!m_server.waitForStarted(5000))
        return;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000 && !m_server.canReadLine() && m_server.state() == QProcess::Running)
        m_server.waitForReadyRead(200);
    const QByteArray number = m_server.readLine().trimmed();
    if (number.isEmpty())
        return;
    m_name = ":" + number;
    // XDisplay connects to $DISPLAY: point it here for the moment it connects.
    const QByteArray previous = qgetenv("DISPLAY");
    qputenv("DISPLAY", m_name);
    m_display = std::make_unique<XDisplay>();
    qputenv("DISPLAY", previous);
}

OwnXServer::~OwnXServer()
{
    m_display.reset();
    if (m_server.state() != QProcess::NotRunning) {
        m_server.terminate();
        if (!m_server.waitForFinished(5000)) {
            m_server.kill();
            m_server.waitForFinished(5000);
        }
    }
}

QProcessEnvironment OwnXServer::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(m_name));
    return environment;
}

} // namespace velmora::testing
