#pragma once

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

// An HTTP server on loopback in front of another one: it passes the first
// passBeforeFault requests through (all when negative), then answers 500 to
// each, or accepts them and never answers. One request per connection.
class FaultProxy : public QObject
{
public:
    enum class Fault { error500, silence };
    int passBeforeFault = -1;
    Fault fault = Fault::error500;

    explicit FaultProxy(QUrl upstream) : m_upstream(std::move(upstream))
    {
        m_network.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    QUrl url(const QString& path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/%2").arg(m_server.serverPort()).arg(path));
    }

private:
    void read(QTcpSocket* socket)
    {
        // Waits for the head and a body of Content-Length bytes.
        QByteArray& in = m_buffers[socket];
        in += socket->readAll();
        const qsizetype headEnd = in.indexOf("\r\n\r\n");
        const QList<QByteArray> lines = in.left(headEnd).split('\n');
        QNetworkRequest request;
        qsizetype length = 0;
        for (const QByteArray& line : lines.mid(1)) {
            const QByteArray name = line.left(line.indexOf(':')).trimmed().toLower();
            const QByteArray value = line.mid(line.indexOf(':') + 1).trimmed();
            length = name == "content-length" ? value.toLongLong() : length;
            if (name != "host" && name != "connection" && name != "content-length") {
                request.setRawHeader(name, value);
            }
        }
        if (headEnd < 0 || in.size() < headEnd + 4 + length) {
            return;
        }
        const QList<QByteArray> start = lines.first().trimmed().split(' ');
        const QByteArray body = in.mid(headEnd + 4, length);
        m_buffers.remove(socket);
        if (passBeforeFault >= 0 && ++m_requests > passBeforeFault) {
            if (fault == Fault::error500) {
                answer(socket, 500, "Internal Server Error", {}, "boom");
            }
            return;
        }
        request.setUrl(m_upstream.resolved(QUrl(QString::fromLatin1(start.at(1)))));
        QNetworkReply* reply = m_network.sendCustomRequest(request, start.at(0), body);
        connect(reply, &QNetworkReply::finished, this, [reply, socket] {
            reply->deleteLater();
            answer(socket, reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                   reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray(),
                   reply->rawHeader("Content-Type"), reply->readAll());
        });
    }
    static void answer(QTcpSocket* socket, int status, const QByteArray& reason,
                       const QByteArray& type, const QByteArray& body)
    {
        socket->write("HTTP/1.1 " + QByteArray::number(status) + ' ' + reason +
                      "\r\nContent-Type: " + type + "\r\nContent-Length: " +
                      QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QUrl m_upstream;
    QTcpServer m_server;
    QNetworkAccessManager m_network;
    QHash<QTcpSocket*, QByteArray> m_buffers;
    int m_requests = 0;
};
