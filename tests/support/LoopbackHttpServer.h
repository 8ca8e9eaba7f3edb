#pragma once

#include <QHash>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

// A real HTTP/1.1 server on 127.0.0.1 for tests, answering GET requests from
// a table of paths (unknown paths: 404). It runs on the test's event loop:
// wait with QTRY_* or QTest::qWaitFor, never with a blocking call.
class LoopbackHttpServer : public QObject
{
public:
    struct Response
    {
        QByteArray body;
        int status = 200;
        // Announces this many bytes more than it sends, then hangs up.
        qint64 cutShortBy = 0;
        // Keeps the connection open after the body instead (a stalled transfer).
        bool stall = false;
    };

    LoopbackHttpServer()
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    QUrl url(const QString& path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
    }
    void route(const QString& path, Response response) { m_routes.insert(path, response); }
    int hits(const QString& path) const { return m_hits.value(path); }

private:
    void serve(QTcpSocket* socket)
    {
        QByteArray& request = m_pending[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n")) {
            return;
        }
        const QString path = QString::fromLatin1(request.split(' ').value(1));
        m_pending.remove(socket);
        ++m_hits[path];
        const Response r = m_routes.value(path, Response{"not found", 404});
        const QByteArray reason = r.status == 200 ? "OK" : r.status == 404 ? "Not Found" : "Error";
        socket->write("HTTP/1.1 " + QByteArray::number(r.status) + " " + reason +
                      "\r\nContent-Length: " + QByteArray::number(r.body.size() + r.cutShortBy) +
                      "\r\nConnection: close\r\n\r\n" + r.body);
        if (!r.stall) {
            socket->disconnectFromHost();
        }
    }

    QTcpServer m_server;
    QHash<QString, Response> m_routes;
    QHash<QString, int> m_hits;
    QHash<QTcpSocket*, QByteArray> m_pending;
};
