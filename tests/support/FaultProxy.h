#pragma once

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

// An HTTP server on loopback in front of another one: it passes the first
// passBeforeFault requests through (all when negative), then either answers
// 500 to each or accepts them and never answers. One request per connection.
class FaultProxy : public QObject
{
public:
    enum class Fault { error500, silence };

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

    int passBeforeFault = -1;
    Fault fault = Fault::error500;
    int requests = 0;

    QUrl url(const QString& path = {}) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/%2").arg(m_server.serverPort()).arg(path));
    }

private:
    void read(QTcpSocket* socket)
    {
        QByteArray& buffer = m_buffers[socket];
        buffer += socket->readAll();
        const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
        if (headEnd < 0) {
            return;
        }
        const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
        qsizetype length = 0;
        QList<QPair<QByteArray, QByteArray>> headers;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines.at(i).trimmed();
            const qsizetype colon = line.indexOf(':');
            const QByteArray name = line.left(colon).trimmed();
            const QByteArray value = line.mid(colon + 1).trimmed();
            if (name.compare("content-length", Qt::CaseInsensitive) == 0) {
                length = value.toLongLong();
            } else if (name.compare("host", Qt::CaseInsensitive) != 0 &&
                       name.compare("connection", Qt::CaseInsensitive) != 0) {
                headers.append({name, value});
            }
        }
        if (buffer.size() < headEnd + 4 + length) {
            return;
        }
        const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
        const QByteArray body = buffer.mid(headEnd + 4, length);
        m_buffers.remove(socket);
        ++requests;
        if (passBeforeFault >= 0 && requests > passBeforeFault) {
            if (fault == Fault::error500) {
                answer(socket, 500, "Internal Server Error", {}, "boom");
            }
            return;
        }
        QNetworkRequest request(m_upstream.resolved(QUrl(QString::fromLatin1(requestLine.at(1)))));
        for (const auto& [name, value] : headers) {
            request.setRawHeader(name, value);
        }
        QNetworkReply* reply = m_network.sendCustomRequest(request, requestLine.at(0), body);
        connect(reply, &QNetworkReply::finished, this, [this, reply, socket] {
            reply->deleteLater();
            answer(socket, reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                   reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray(),
                   reply->rawHeader("Content-Type"), reply->readAll());
        });
    }

    static void answer(QTcpSocket* socket, int status, const QByteArray& reason,
                       const QByteArray& type, const QByteArray& body)
    {
        QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason + "\r\n";
        if (!type.isEmpty()) {
            head += "Content-Type: " + type + "\r\n";
        }
        head +=
            "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n";
        socket->write(head + body);
        socket->disconnectFromHost();
    }

    QUrl m_upstream;
    QTcpServer m_server;
    QNetworkAccessManager m_network;
    QHash<QTcpSocket*, QByteArray> m_buffers;
};
