#include "virtualpointer.h"

#include <QTest>

namespace velmora::testing {
namespace {

constexpr int kAnswerTimeoutMs = 5000;
// Between the motion and the button, and between press and release, as a hand takes:
// the program sees the pointer enter before the press.
constexpr int kHandMs = 30;

} // namespace

VirtualPointer::VirtualPointer(const SwayHeadless &compositor)
{
    if (!compositor.isRunning())
        return;
    m_process.setProcessEnvironment(compositor.clientEnvironment());
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(VELMORA_VIRTUAL_POINTER),
                    {QString::number(compositor.outputSize().width()),
                     QString::number(compositor.outputSize().height())});
    m_ready = m_process.waitForStarted(5000) && m_process.waitForReadyRead(kAnswerTimeoutMs) &&
              m_process.readLine().trimmed() == "ready";
}

VirtualPointer::~VirtualPointer()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
}

bool VirtualPointer::send(const QByteArray &command)
{
    if (!m_ready || m_process.write(command + '\n') < 0)
        return false;
    while (!m_process.canReadLine()) {
        if (!m_process.waitForReadyRead(kAnswerTimeoutMs))
            return false;
    }
    return m_process.readLine().trimmed() == "ok";
}

bool VirtualPointer::click(QPoint onOutput)
{
    if (!send("move " + QByteArray::number(onOutput.x()) + ' ' + QByteArray::number(onOutput.y())))
        return false;
    QTest::qWait(kHandMs);
    if (!send("press"))
        return false;
    QTest::qWait(kHandMs);
    return send("release");
}

} // namespace velmora::testing
