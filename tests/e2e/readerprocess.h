// The real reader as the window tests run it: started on a screen of their own, its
// one window waited for, clicked with the mouse, and stopped if a test leaves it running.
#pragma once

#include "ownxserver.h"
#include "xdisplay.h"

#include <QPoint>
#include <QProcess>
#include <QString>

#include <optional>

namespace velmora::testing {

inline constexpr int kReaderStartTimeoutMs = 60000;

// Starts `reader` as `executable`, working in `workingFolder`, with `environment` (whose
// DISPLAY names the screen it shows on).
bool startReader(QProcess &reader, const QString &executable, const QString &workingFolder,
                 const QProcessEnvironment &environment);
// The reader's one window, once it shows; nothing if the reader ends or takes too long.
std::optional<XWindow> waitForReaderWindow(const QProcess &reader, const XDisplay &display);
// Kills a reader that a test left running.
void stopReader(QProcess &reader);
// A real click: xdotool moves the pointer to `screenPoint` over `window`, then clicks.
void clickWithMouse(const OwnXServer &server, const XWindow &window, QPoint screenPoint);
// The pointer moved to `screenPoint` and clicked, and nothing else: no window is raised
// or given the focus first, so the click finds the window as a person's would.
void clickOnly(const OwnXServer &server, QPoint screenPoint);
// The pointer moved to `screenPoint`, no button pressed: what hovering over a control is.
void movePointer(const OwnXServer &server, QPoint screenPoint);

} // namespace velmora::testing
