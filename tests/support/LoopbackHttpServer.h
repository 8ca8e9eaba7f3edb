#pragma once

#include <QHash>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

// A real HTTP/1.1 server on 127.0.0.1 for tests, answering GET requests
// from a table of paths. It runs on the test's own event loop: wait with
// QSignalSpy::wait or QTRY_*, never with a blocking call.
class LoopbackHttpServer : public QObject
{
public:
    struct Response
    {
        QByteArray body;
        QByteArray contentType = "application/octet-stream";
        int status = 200;
        // Sends a Content-Length this much larger than the body, then hangs
        // up: a download cut short.
        qint64 cutShortBy = 0;
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
    int totalHits() const
    {
        int n = 0;
        for (int h : m_hits) {
            n += h;
        }
        return n;
    }

private:
    void serve(QTcpSocket* socket)
    {
        QByteArray& pending = m_pending[socket];
        pending += socket->readAll();
        if (!pending.contains("\r\n\r\n")) {
            return;
        }
        const QString path = QString::fromLatin1(pending.split(' ').value(1));
        m_pending.remove(socket);
        ++m_hits[path];
        const auto found = m_routes.constFind(path);
        const Response r =
            found != m_routes.cend() ? *found : Response{"not found", "text/plain", 404};
        QByteArray head =
            "HTTP/1.1 " + QByteArray::number(r.status) + " X\r\nContent-Type: " + r.contentType +
            "\r\nContent-Length: " + QByteArray::number(r.body.size() + r.cutShortBy) +
            "\r\nConnection: close\r\n\r\n";
        socket->write(head + r.body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QString, Response> m_routes;
    QHash<QString, int> m_hits;
    QHash<QTcpSocket*, QByteArray> m_pending;
};
