// A Wayland compositor of a test's own: sway on its headless backend (no screen, no
// input devices), run as an unprivileged user as sway demands, with a runtime folder
// of its own. The test's programs join it as native Wayland clients; its windows are
// read from sway's own tree and the screen is photographed with grim.
#pragma once

#include <QImage>
#include <QJsonObject>
#include <QProcess>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTemporaryDir>

#include <vector>

namespace velmora::testing {

// One window as the compositor has it.
struct WaylandWindow {
    QString title;
    QString shell; // "xdg_shell" for a native client
    QRect outer;   // on the output, with the compositor's own border
    QRect content; // the client's surface on the output
    bool floating = false;
    bool focused = false; // the active window, which has the seat's focus
};

class SwayHeadless {
public:
    explicit SwayHeadless(QSize output = QSize(1920, 1200));
    ~SwayHeadless();
    SwayHeadless(const SwayHeadless &) = delete;
    SwayHeadless &operator=(const SwayHeadless &) = delete;

    bool isRunning() const { return !m_socket.isEmpty() && m_process.state() == QProcess::Running; }
    // Why the compositor is not running, for a test that skips.
    const QString &failure() const { return m_failure; }
    QSize outputSize() const { return m_output; }
    // The system environment for a native Wayland client of this compositor: no X display
    // to fall back on.
    QProcessEnvironment clientEnvironment() const;
    // A command of sway's own ("[app_id=velmora] floating enable"); true if sway did it.
    bool command(const QString &text) const;
    // The process's windows that show on the output.
    std::vector<WaylandWindow> windowsOf(qint64 pid) const;
    // The whole output as it shows now; a null image if grim could not take it.
    QImage screenshot() const;

private:
    QJsonObject tree() const;

    QSize m_output;
    QTemporaryDir m_runtime;
    QProcess m_process;
    QString m_socket;    // the Wayland socket, an absolute path
    QString m_ipcSocket; // sway's command socket
    QString m_failure;
};

} // namespace velmora::testing
