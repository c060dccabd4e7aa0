// Looking at the X display from outside a program, as a person would: its visible
// windows, their titles and places, the pixels on screen; and closing a window or
// pressing a key in it.
#pragma once

#include <QImage>
#include <QMargins>
#include <QRect>
#include <QString>

#include <cstdint>
#include <vector>

struct xcb_connection_t;

namespace velmora::testing {

struct XWindow {
    std::uint32_t id = 0;
    QString title;
    QRect geometry; // on the screen, without any frame
};

class XDisplay {
public:
    XDisplay();
    ~XDisplay();
    XDisplay(const XDisplay &) = delete;
    XDisplay &operator=(const XDisplay &) = delete;

    bool isOpen() const { return m_connection != nullptr; }
    // Mapped top-level windows whose _NET_WM_PID is `pid`.
    std::vector<XWindow> visibleWindowsOf(std::int64_t pid) const;
    // The whole screen.
    QImage screenshot() const;
    // Puts the window above every other one (other programs' windows may cover it).
    void raise(std::uint32_t window) const;
    // Asks the window to close, as its title bar's close button does.
    void requestClose(std::uint32_t window) const;
    // Presses and releases `keysym` with the keyboard focus on `window`.
    void pressKey(std::uint32_t window, std::uint32_t keysym) const;

    // What a window manager says (nothing where none runs): whether one runs, the window
    // it has made active, and the frame it put around `window`.
    bool hasWindowManager() const;
    std::uint32_t activeWindow() const;
    QMargins frameExtents(std::uint32_t window) const;
    // Asks the window manager to maximise `window` or to give it back its size, and to
    // move and resize it (`client` on the screen, without the frame), as a pager or a
    // tiling shortcut does.
    void setMaximised(std::uint32_t window, bool maximised) const;
    void moveResize(std::uint32_t window, const QRect &client) const;

private:
    ::xcb_connection_t *m_connection = nullptr;
    std::uint32_t m_root = 0;
};

} // namespace velmora::testing
