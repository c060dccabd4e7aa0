#include "loopbackserver.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTest>

namespace velmora::testing {
namespace {

// A request larger than this is no request of our pages.
constexpr qsizetype kMaxRequestBytes = qsizetype{64} * 1024;

} // namespace

LoopbackServer::LoopbackServer()
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    m_server.listen(QHostAddress::LocalHost);
}

QString LoopbackServer::origin() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort());
}

void LoopbackServer::serve(const QString &path, const QByteArray &type, const QByteArray &body)
{
    m_pages.insert(path, {type, body});
}

bool LoopbackServer::waitFor(const QString &path, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!m_requests.contains(path)) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QTest::qWait(20);
    }
    return true;
}

void LoopbackServer::answer(QTcpSocket *socket)
{
    // The request so far is kept on the socket until its head is complete.
    QByteArray head = socket->property("head").toByteArray() + socket->readAll();
    if (!head.contains("\r\n\r\n")) {
        if (head.size() > kMaxRequestBytes)
            socket->abort();
        else
            socket->setProperty("head", head);
        return;
    }
    const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
    const QString target = requestLine.size() >= 2 ? QString::fromLatin1(requestLine[1]) : QString();
    m_requests.append(target);
    const QString path = target.left(target.indexOf(u'?'));
    const auto page = m_pages.constFind(path);
    QByteArray reply;
    if (page == m_pages.constEnd()) {
        reply = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    } else {
        reply = "HTTP/1.1 200 OK\r\nContent-Type: " + page->first +
                "\r\nCache-Control: no-store\r\nContent-Length: " + QByteArray::number(page->second.size()) +
                "\r\nConnection: close\r\n\r\n" + page->second;
    }
    socket->write(reply);
    socket->disconnectFromHost();
}

} // namespace velmora::testing
