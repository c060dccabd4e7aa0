// The mouse of the window tests under sway: the compositor's own virtual pointer, driven
// through velmora-virtual-pointer. Its events reach the program under the pointer as a
// real mouse's would, through the compositor's seat.
#pragma once

#include "swayheadless.h"

#include <QPoint>
#include <QProcess>

namespace velmora::testing {

class VirtualPointer {
public:
    explicit VirtualPointer(const SwayHeadless &compositor);
    ~VirtualPointer();
    VirtualPointer(const VirtualPointer &) = delete;
    VirtualPointer &operator=(const VirtualPointer &) = delete;

    // True once the compositor has the pointer.
    bool isReady() const { return m_ready; }
    // The pointer moved to `onOutput` and the left button pressed and released there.
    bool click(QPoint onOutput);

private:
    // One command, answered once the compositor has handled it.
    bool send(const QByteArray &command);

    QProcess m_process;
    bool m_ready = false;
};

} // namespace velmora::testing
