#include "accessibilitybus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QElapsedTimer>

namespace velmora::testing {
namespace {

constexpr int kStartTimeoutMs = 20000;
const QString kConnectionName = QStringLiteral("velmora-test-session");

} // namespace

AccessibilityBus::AccessibilityBus(const QByteArray &display)
{
    if (!m_runtime.isValid())
        return;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
    environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    environment.remove(QStringLiteral("AT_SPI_BUS_ADDRESS"));
    m_sessionBus.setProcessEnvironment(environment);
    m_sessionBus.setProcessChannelMode(QProcess::SeparateChannels);
    m_sessionBus.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--session"), QStringLiteral("--nofork"),
                        QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")});
    if (!m_sessionBus.waitForStarted())
        return;
    QElapsedTimer clock;
    clock.start();
    while (!m_sessionBus.canReadLine() && clock.elapsed() < kStartTimeoutMs &&
           m_sessionBus.state() == QProcess::Running)
        m_sessionBus.waitForReadyRead(500);
    m_sessionAddress = m_sessionBus.readLine().trimmed();
    if (m_sessionAddress.isEmpty())
        return;
    // Asking for the accessibility bus's address starts the launcher, and it the bus.
    {
        QDBusConnection session =
            QDBusConnection::connectToBus(QString::fromLatin1(m_sessionAddress), kConnectionName);
        QDBusMessage call =
            QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                           QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
        const QDBusReply<QString> reply = session.call(call, QDBus::Block, kStartTimeoutMs);
        if (reply.isValid())
            m_accessibilityAddress = reply.value().toUtf8();
    }
    QDBusConnection::disconnectFromBus(kConnectionName);
}

AccessibilityBus::~AccessibilityBus()
{
    // The launcher ends its bus and registry when the session bus goes.
    if (m_sessionBus.state() != QProcess::NotRunning) {
        m_sessionBus.terminate();
        if (!m_sessionBus.waitForFinished(5000)) {
            m_sessionBus.kill();
            m_sessionBus.waitForFinished(5000);
        }
    }
}

QProcessEnvironment AccessibilityBus::environment(QProcessEnvironment base) const
{
    base.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    base.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromLatin1(m_sessionAddress));
    // Qt finds the accessibility bus through the session bus; given the address itself,
    // Qt 6.4's bridge never registers the program.
    base.remove(QStringLiteral("AT_SPI_BUS_ADDRESS"));
    base.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    return base;
}

} // namespace velmora::testing
