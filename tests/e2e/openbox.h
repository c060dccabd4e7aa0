// Debian's openbox as the window manager of a test's own X server: it frames, places,
// focuses and maximises the reader's window as on a person's desktop.
#pragma once

#include "ownxserver.h"

#include <QProcess>
#include <QTemporaryDir>

namespace velmora::testing {

class Openbox {
public:
    // When a click into an inactive window makes it active: on the press (openbox's own
    // setting), or on the release, so that the press reaches the program first.
    enum class FocusOnClick { Press, Release };

    explicit Openbox(const OwnXServer &server, FocusOnClick focus = FocusOnClick::Press);
    ~Openbox();
    Openbox(const Openbox &) = delete;
    Openbox &operator=(const Openbox &) = delete;

    // True once openbox manages the screen.
    bool isRunning() const { return m_running; }

private:
    QProcess m_process;
    QTemporaryDir m_config;
    bool m_running = false;
};

} // namespace velmora::testing
