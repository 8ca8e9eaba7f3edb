#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QMutexLocker>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

// An HTTP/1.1 server on 127.0.0.1, in a thread of its own (so that a test may
// block while a child process talks to it): records every request and
// answers each with the next reply set (the last one repeats).
class LoopbackHttpServer
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
        QByteArray contentType = "application/json";
        int delayMs = 0;
        bool never = false; // keeps the connection open without a word
    };

    LoopbackHttpServer()
    {
        m_thread.start();
        m_server.moveToThread(&m_thread);
        QMetaObject::invokeMethod(
            &m_server,
            [this] {
                QObject::connect(&m_server, &QTcpServer::newConnection, &m_server,
                                 [this] { accept(m_server.nextPendingConnection()); });
                m_server.listen(QHostAddress::LocalHost);
            },
            Qt::BlockingQueuedConnection);
    }
    ~LoopbackHttpServer()
    {
        QMetaObject::invokeMethod(
            &m_server,
            [this, home = QThread::currentThread()] {
                qDeleteAll(m_server.findChildren<QTcpSocket*>());
                m_server.close();
                m_server.moveToThread(home);
            },
            Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }

    QString baseURL() const
    {
        return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort());
    }
    void setReplies(QList<Reply> replies)
    {
        QMutexLocker lock(&m_mutex);
        m_replies = std::move(replies);
    }
    void setReply(const Reply& reply) { setReplies({reply}); }
    QList<Request> requests() const
    {
        QMutexLocker lock(&m_mutex);
        return m_requests;
    }
    void clear()
    {
        QMutexLocker lock(&m_mutex);
        m_requests.clear();
    }

private:
    void accept(QTcpSocket* socket)
    {
        socket->setParent(&m_server);
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        auto* buffer = new QByteArray;
        QObject::connect(socket, &QObject::destroyed, [buffer] { delete buffer; });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
            *buffer += socket->readAll();
            const qsizetype end = buffer->indexOf("\r\n\r\n");
            if (end < 0) {
                return;
            }
            Request request;
            const QList<QByteArray> lines = buffer->left(end).split('\n');
            const QList<QByteArray> first = lines.first().trimmed().split(' ');
            request.method = first.value(0);
            request.target = first.value(1);
            for (const QByteArray& line : lines.mid(1)) {
                const qsizetype colon = line.indexOf(':');
                request.headers.insert(line.left(colon).trimmed().toLower(),
                                       line.mid(colon + 1).trimmed());
            }
            const qsizetype length = request.headers.value("content-length").toLongLong();
            if (buffer->size() < end + 4 + length) {
                return;
            }
            request.body = buffer->mid(end + 4, length);
            buffer->clear();
            Reply reply;
            {
                QMutexLocker lock(&m_mutex);
                m_requests.append(request);
                reply = m_replies.size() > 1 ? m_replies.takeFirst() : m_replies.value(0);
            }
            if (!reply.never) {
                QTimer::singleShot(reply.delayMs, socket, [socket, reply] {
                    socket->write("HTTP/1.1 " + QByteArray::number(reply.status) +
                                  " Status\r\nContent-Type: " + reply.contentType +
                                  "\r\nContent-Length: " + QByteArray::number(reply.body.size()) +
                                  "\r\nConnection: close\r\n\r\n" + reply.body);
                    socket->disconnectFromHost();
                });
            }
        });
    }

    QThread m_thread;
    QTcpServer m_server;
    mutable QMutex m_mutex;
    QList<Reply> m_replies{Reply{}};
    QList<Request> m_requests;
};
