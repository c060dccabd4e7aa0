#include "openbox.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

namespace velmora::testing {
namespace {

// Openbox's own settings with the left button's focus in program windows moved from the
// press to the release.
QByteArray focusOnReleaseSettings()
{
    QFile defaults(QStringLiteral("/etc/xdg/openbox/rc.xml"));
    if (!defaults.open(QIODevice::ReadOnly))
        return {};
    QByteArray settings = defaults.readAll();
    const qsizetype client = settings.indexOf("<context name=\"Client\">");
    const qsizetype binding = settings.indexOf("<mousebind button=\"Left\" action=\"Press\">", client);
    const qsizetype end = settings.indexOf("</context>", client);
    if (client < 0 || binding < 0 || binding > end)
        return {};
    const QByteArray press = "action=\"Press\"";
    return settings.replace(settings.indexOf(press, binding), press.size(), "action=\"Release\"");
}

} // namespace

Openbox::Openbox(const OwnXServer &server, FocusOnClick focus)
{
    if (!server.isOpen())
        return;
    QStringList arguments;
    if (focus == FocusOnClick::Release) {
        const QByteArray settings = focusOnReleaseSettings();
        QFile file(m_config.filePath(QStringLiteral("rc.xml")));
        if (settings.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(settings) != settings.size())
            return;
        arguments << QStringLiteral("--config-file") << file.fileName();
    }
    m_process.setProcessEnvironment(server.environment());
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.setStandardErrorFile(QProcess::nullDevice());
    m_process.start(QStringLiteral("openbox"), arguments);
    if (!m_process.waitForStarted(5000))
        return;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000 && m_process.state() == QProcess::Running &&
           !server.display().hasWindowManager())
        QTest::qWait(50);
    m_running = m_process.state() == QProcess::Running && server.display().hasWindowManager();
}

Openbox::~Openbox()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
}

} // namespace velmora::testing
