// A small web server of a test's own on 127.0.0.1: serves the pages it is given and
// remembers every path that was asked for, so that a page can report what it could do
// by asking for a marker path. It answers while the test's event loop runs.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QStringList>
#include <QTcpServer>

class QTcpSocket;

namespace velmora::testing {

class LoopbackServer : public QObject {
public:
    LoopbackServer();

    bool isListening() const { return m_server.isListening(); }
    // "http://127.0.0.1:<port>"
    QString origin() const;
    // Serves `body` as `type` at `path` ("/site.html"); any other path gets an empty 404.
    void serve(const QString &path, const QByteArray &type, const QByteArray &body);
    // The paths asked for so far, in order, queries included.
    const QStringList &requests() const { return m_requests; }
    // Waits (running the event loop) until `path` has been asked for.
    bool waitFor(const QString &path, int timeoutMs);

private:
    void answer(QTcpSocket *socket);

    QTcpServer m_server;
    QHash<QString, QPair<QByteArray, QByteArray>> m_pages;
    QStringList m_requests;
};

} // namespace velmora::testing
