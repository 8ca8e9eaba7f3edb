#pragma once

#include <QMap>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

// An HTTP/1.1 server on 127.0.0.1, served by the event loop of its thread:
// records every request and answers each with `reply`, after its delay.
class RecordingHttpServer : public QTcpServer
{
public:
    struct Request
    {
        QByteArray method, target, body;
        QMap<QByteArray, QByteArray> headers; // names in lower case
    };
    struct Reply
    {
        int status = 200;
        QByteArray body;
        int delayMs = 0;
        bool never = false; // keeps the connection open without a word
    };
    Reply reply;
    QList<Request> requests;

    // A body each of the three services reads as text.
    static QByteArray answering(const QString& text)
    {
        return QStringLiteral(R"({"choices":[{"message":{"content":"%1"}}],"candidates":[{)"
                              R"("content":{"parts":[{"text":"%1"}]}}],"ParsedResults":[{)"
                              R"("ParsedText":"%1"}]})")
            .arg(text)
            .toUtf8();
    }

    RecordingHttpServer()
    {
        connect(this, &QTcpServer::newConnection, this, [this] { serve(nextPendingConnection()); });
        listen(QHostAddress::LocalHost);
    }

    QString baseURL() const { return QStringLiteral("http://127.0.0.1:%1").arg(serverPort()); }

private:
    void serve(QTcpSocket* socket)
    {
        socket->setParent(this);
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(
            socket, &QTcpSocket::readyRead, socket, [this, socket, data = QByteArray()]() mutable {
                data += socket->readAll();
                const qsizetype end = data.indexOf("\r\n\r\n");
                const QList<QByteArray> lines = data.left(end).split('\n');
                Request request;
                for (const QByteArray& line : lines.mid(1)) {
                    const qsizetype colon = line.indexOf(':');
                    request.headers[line.left(colon).trimmed().toLower()] =
                        line.mid(colon + 1).trimmed();
                }
                const qsizetype length = request.headers.value("content-length").toLongLong();
                if (end < 0 || data.size() < end + 4 + length) {
                    return;
                }
                const QList<QByteArray> first = lines.first().trimmed().split(' ');
                request.method = first.value(0);
                request.target = first.value(1);
                request.body = data.mid(end + 4, length);
                requests.append(request);
                if (!reply.never) {
                    QTimer::singleShot(reply.delayMs, socket, [socket, r = reply] {
                        socket->write("HTTP/1.1 " + QByteArray::number(r.status) +
                                      " X\r\nContent-Type: application/json\r\nContent-Length: " +
                                      QByteArray::number(r.body.size()) +
                                      "\r\nConnection: close\r\n\r\n" + r.body);
                        socket->disconnectFromHost();
                    });
                }
            });
    }
};
