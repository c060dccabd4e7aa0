// An X server of a test's own (Xvfb), so that tests which click and photograph the
// reader neither fight other programs' windows for the top and the focus nor lose part
// of a large window off screen.
#pragma once

#include "xdisplay.h"

#include <QByteArray>
#include <QProcess>
#include <QSize>

#include <memory>

namespace velmora::testing {

class OwnXServer {
public:
    explicit OwnXServer(QSize screen = QSize(1920, 1200));
    ~OwnXServer();
    OwnXServer(const OwnXServer &) = delete;
    OwnXServer &operator=(const OwnXServer &) = delete;

    bool isOpen() const { return m_display && m_display->isOpen(); }
    // The display's name (":12"), for DISPLAY in the environment of the programs started on it.
    const QByteArray &name() const { return m_name; }
    const XDisplay &display() const { return *m_display; }
    // The system environment with DISPLAY pointing here.
    QProcessEnvironment environment() const;

private:
    QProcess m_server;
    QByteArray m_name;
    std::unique_ptr<XDisplay> m_display;
};

} // namespace velmora::testing
