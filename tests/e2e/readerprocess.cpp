#include "readerprocess.h"

#include <QElapsedTimer>
#include <QTest>

namespace velmora::testing {
namespace {

void runXdotool(const OwnXServer &server, const QStringList &arguments)
{
    QProcess xdotool;
    xdotool.setProcessEnvironment(server.environment());
    xdotool.start(QStringLiteral("xdotool"), arguments);
    xdotool.waitForFinished(10000);
}

} // namespace

bool startReader(QProcess &reader, const QString &executable, const QString &workingFolder,
                 const QProcessEnvironment &environment)
{
    reader.setProgram(executable);
    reader.setWorkingDirectory(workingFolder);
    reader.setProcessEnvironment(environment);
    reader.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    reader.start();
    return reader.waitForStarted();
}

std::optional<XWindow> waitForReaderWindow(const QProcess &reader, const XDisplay &display)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < kReaderStartTimeoutMs && reader.state() == QProcess::Running) {
        const auto windows = display.visibleWindowsOf(reader.processId());
        if (windows.size() == 1)
            return windows[0];
        QTest::qWait(50);
    }
    return std::nullopt;
}

void stopReader(QProcess &reader)
{
    if (reader.state() != QProcess::NotRunning) {
        reader.kill();
        reader.waitForFinished(10000);
    }
}

void clickWithMouse(const OwnXServer &server, const XWindow &window, QPoint screenPoint)
{
    server.display().raise(window.id);
    runXdotool(server, {QStringLiteral("windowfocus"), QString::number(window.id),
                        QStringLiteral("mousemove"), QString::number(screenPoint.x()),
                        QString::number(screenPoint.y()), QStringLiteral("click"), QStringLiteral("1")});
}

void clickOnly(const OwnXServer &server, QPoint screenPoint)
{
    runXdotool(server, {QStringLiteral("mousemove"), QString::number(screenPoint.x()),
                        QString::number(screenPoint.y()), QStringLiteral("click"), QStringLiteral("1")});
}

void movePointer(const OwnXServer &server, QPoint screenPoint)
{
    runXdotool(server, {QStringLiteral("mousemove"), QString::number(screenPoint.x()),
                        QString::number(screenPoint.y())});
}

} // namespace velmora::testing
