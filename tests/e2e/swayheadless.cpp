#include "swayheadless.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

#include <algorithm>

#include <pwd.h>
#include <unistd.h>

namespace velmora::testing {
namespace {

constexpr int kStartTimeoutMs = 15000;
constexpr int kToolTimeoutMs = 10000;

// No borders on tiled or floating windows: the client's surface is all there is of a
// window, so what it measures is what the client asked for.
QByteArray configFor(QSize output)
{
    return QStringLiteral("output HEADLESS-1 resolution %1x%2\n"
                          "default_border none\n"
                          "default_floating_border none\n"
                          "xwayland disable\n")
        .arg(output.width())
        .arg(output.height())
        .toUtf8();
}

QRect rectOf(const QJsonValue &value)
{
    const QJsonObject r = value.toObject();
    return QRect(r[QLatin1String("x")].toInt(), r[QLatin1String("y")].toInt(),
                 r[QLatin1String("width")].toInt(), r[QLatin1String("height")].toInt());
}

void collectWindows(const QJsonObject &node, qint64 pid, std::vector<WaylandWindow> &windows)
{
    if (node[QLatin1String("pid")].toInteger() == pid && node[QLatin1String("visible")].toBool()) {
        WaylandWindow window;
        window.title = node[QLatin1String("name")].toString();
        window.shell = node[QLatin1String("shell")].toString();
        window.outer = rectOf(node[QLatin1String("rect")]);
        const QRect inner = rectOf(node[QLatin1String("window_rect")]);
        window.content = inner.translated(window.outer.topLeft());
        window.floating = node[QLatin1String("type")].toString() == QLatin1String("floating_con");
        window.focused = node[QLatin1String("focused")].toBool();
        windows.push_back(window);
    }
    for (const char *children : {"nodes", "floating_nodes"}) {
        for (const QJsonValue child : node[QLatin1String(children)].toArray())
            collectWindows(child.toObject(), pid, windows);
    }
}

} // namespace

SwayHeadless::SwayHeadless(QSize output) : m_output(output)
{
    if (!m_runtime.isValid()) {
        m_failure = QStringLiteral("no temporary folder");
        return;
    }
    const QString config = m_runtime.filePath(QStringLiteral("config"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly) || file.write(configFor(output)) < 0) {
        m_failure = QStringLiteral("cannot write sway's configuration");
        return;
    }
    file.close();

    QProcessEnvironment environment;
    environment.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH", QStringLiteral("/usr/bin:/bin")));
    environment.insert(QStringLiteral("HOME"), m_runtime.path());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    environment.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
    environment.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
    environment.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
    m_process.setProcessEnvironment(environment);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.setStandardErrorFile(m_runtime.filePath(QStringLiteral("sway.log")));

    QStringList arguments{QStringLiteral("-c"), config};
    // Sway refuses to run as root: as root the compositor is the unprivileged user
    // "nobody", in a runtime folder that user owns (the test, as root, still reaches it).
    if (::geteuid() == 0) {
        const passwd *user = ::getpwnam("nobody");
        if (!user ||
            ::chown(QFile::encodeName(m_runtime.path()).constData(), user->pw_uid, user->pw_gid) != 0) {
            m_failure = QStringLiteral("no unprivileged user to run sway as");
            return;
        }
        arguments.prepend(QStringLiteral("sway"));
        arguments =
            QStringList{QStringLiteral("--reuid=%1").arg(user->pw_uid),
                        QStringLiteral("--regid=%1").arg(user->pw_gid), QStringLiteral("--clear-groups")} +
            arguments;
        m_process.start(QStringLiteral("setpriv"), arguments);
    } else {
        m_process.start(QStringLiteral("sway"), arguments);
    }
    if (!m_process.waitForStarted(5000)) {
        m_failure = QStringLiteral("sway (or setpriv) is not installed");
        return;
    }

    QElapsedTimer clock;
    clock.start();
    const QDir runtime(m_runtime.path());
    while (clock.elapsed() < kStartTimeoutMs && m_process.state() == QProcess::Running) {
        const QStringList wayland = runtime.entryList({QStringLiteral("wayland-?")}, QDir::System);
        const QStringList ipc = runtime.entryList({QStringLiteral("sway-ipc.*.sock")}, QDir::System);
        if (!wayland.isEmpty() && !ipc.isEmpty()) {
            m_ipcSocket = runtime.filePath(ipc.first());
            if (!tree().isEmpty()) {
                m_socket = runtime.filePath(wayland.first());
                return;
            }
        }
        QTest::qWait(50);
    }
    QFile log(m_runtime.filePath(QStringLiteral("sway.log")));
    m_failure =
        QStringLiteral("sway did not start: ") +
        (log.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(log.readAll().right(2000)) : QString());
}

SwayHeadless::~SwayHeadless()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
}

QProcessEnvironment SwayHeadless::clientEnvironment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), m_socket);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    return environment;
}

bool SwayHeadless::command(const QString &text) const
{
    QProcess swaymsg;
    swaymsg.start(QStringLiteral("swaymsg"), {QStringLiteral("-s"), m_ipcSocket, QStringLiteral("-r"), text});
    if (!swaymsg.waitForFinished(kToolTimeoutMs) || swaymsg.exitCode() != 0)
        return false;
    const QJsonArray results = QJsonDocument::fromJson(swaymsg.readAllStandardOutput()).array();
    return !results.isEmpty() && std::all_of(results.begin(), results.end(), [](const QJsonValue &result) {
        return result[QLatin1String("success")].toBool();
    });
}

QJsonObject SwayHeadless::tree() const
{
    QProcess swaymsg;
    swaymsg.start(QStringLiteral("swaymsg"), {QStringLiteral("-s"), m_ipcSocket, QStringLiteral("-r"),
                                              QStringLiteral("-t"), QStringLiteral("get_tree")});
    if (!swaymsg.waitForFinished(kToolTimeoutMs) || swaymsg.exitCode() != 0)
        return {};
    return QJsonDocument::fromJson(swaymsg.readAllStandardOutput()).object();
}

std::vector<WaylandWindow> SwayHeadless::windowsOf(qint64 pid) const
{
    std::vector<WaylandWindow> windows;
    collectWindows(tree(), pid, windows);
    return windows;
}

QImage SwayHeadless::screenshot() const
{
    QProcess grim;
    grim.setProcessEnvironment(clientEnvironment());
    // PPM: no compression to wait for.
    grim.start(QStringLiteral("grim"), {QStringLiteral("-t"), QStringLiteral("ppm"), QStringLiteral("-")});
    if (!grim.waitForFinished(kToolTimeoutMs) || grim.exitCode() != 0)
        return {};
    return QImage::fromData(grim.readAllStandardOutput(), "PPM");
}

} // namespace velmora::testing
