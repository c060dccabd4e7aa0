// A desktop session's accessibility stack of a test's own: a D-Bus session bus, on which
// at-spi2-core's bus launcher starts the accessibility bus and its registry when first
// asked. Its folder is private, so that tests running side by side never share a bus.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

namespace velmora::testing {

class AccessibilityBus {
public:
    // `display` is the X display (":12") the launcher is told of.
    explicit AccessibilityBus(const QByteArray &display);
    ~AccessibilityBus();
    AccessibilityBus(const AccessibilityBus &) = delete;
    AccessibilityBus &operator=(const AccessibilityBus &) = delete;

    // True once the accessibility bus runs and its address is known.
    bool isRunning() const { return !m_accessibilityAddress.isEmpty(); }
    const QByteArray &sessionAddress() const { return m_sessionAddress; }
    const QByteArray &accessibilityAddress() const { return m_accessibilityAddress; }
    // `base` with the session bus and the private runtime folder in it, and Qt's
    // accessibility on from the start.
    QProcessEnvironment environment(QProcessEnvironment base) const;

private:
    QTemporaryDir m_runtime;
    QProcess m_sessionBus;
    QByteArray m_sessionAddress;
    QByteArray m_accessibilityAddress;
};

} // namespace velmora::testing
