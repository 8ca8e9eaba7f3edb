#include "common/InstanceChannel.h"

#include "common/AppPaths.h"
#include "common/CaptureRegion.h"

#include <QFileInfo>
#include <QLocalSocket>
#include <QPointer>

namespace {
const QStringList& knownCommands()
{
    static const QStringList commands{QStringLiteral("capture"), QStringLiteral("scan"),
                                      QStringLiteral("settings"), QStringLiteral("activate")};
    return commands;
}
constexpr qint64 maxCommandLength = 64;

// One line of the protocol: no line breaks inside.
QByteArray oneLine(const QString& text)
{
    QString line = text;
    line.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    return line.toUtf8();
}

// A known command alone, or capture/scan with a region.
bool isValidCommand(const QString& command)
{
    const QStringList words = command.split(u' ', Qt::SkipEmptyParts);
    if (words.size() == 1) {
        return knownCommands().contains(words.first());
    }
    return words.size() == 2 &&
           (words.first() == QLatin1String("capture") || words.first() == QLatin1String("scan")) &&
           CaptureRegion::parse(words.at(1)).hasValue();
}
} // namespace

struct InstanceReply::State
{
    QPointer<QLocalSocket> socket;
    bool answered = false;

    void send(const QByteArray& line)
    {
        if (std::exchange(answered, true) || !socket) {
            return;
        }
        socket->write(line + '\n');
        socket->flush();
        socket->disconnectFromServer();
    }
    ~State() { send("error the request was dropped"); }
};

void InstanceReply::ok(const QString& detail) const
{
    if (m_state) {
        m_state->send(detail.isEmpty() ? QByteArray("ok") : "ok " + oneLine(detail));
    }
}

void InstanceReply::fail(const QString& reason) const
{
    if (m_state) {
        m_state->send("error " + oneLine(reason));
    }
}

InstanceServer::InstanceServer(QObject* parent) : QObject(parent)
{
    connect(&m_server, &QLocalServer::newConnection, this, &InstanceServer::onNewConnection);
}

InstanceServer::~InstanceServer()
{
    m_server.close();
}

QString InstanceServer::defaultSocketPath()
{
    const QString dir = AppPaths::privateTempDir();
    return dir.isEmpty() ? QString() : dir + QStringLiteral("/instance.sock");
}

InstanceServer::ListenResult InstanceServer::listen(const QString& path)
{
    if (path.isEmpty()) {
        m_error = QStringLiteral("no private runtime directory");
        return ListenResult::failed;
    }
    // Qt replaces an existing socket file when it listens, so ask first
    // whether someone answers there: that is the running instance. A file
    // nobody answers on was left behind by a crash and may be replaced.
    if (QFileInfo::exists(path)) {
        QLocalSocket probe;
        probe.connectToServer(path);
        if (probe.waitForConnected(500)) {
            probe.disconnectFromServer();
            return ListenResult::anotherInstanceRuns;
        }
        QLocalServer::removeServer(path);
    }
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (m_server.listen(path)) {
        return ListenResult::listening;
    }
    m_error = m_server.errorString();
    return ListenResult::failed;
}

QString InstanceServer::errorString() const
{
    return m_error;
}

void InstanceServer::onNewConnection()
{
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
    }
}

void InstanceServer::readFrom(QLocalSocket* socket)
{
    // A request with a payload keeps its command line here until the
    // payload has arrived.
    const char* const pendingCommand = "quillsnapCommand";
    const char* const pendingSize = "quillsnapPayloadSize";
    const auto refuse = [socket](const QByteArray& reason) {
        socket->write("error " + reason + '\n');
        socket->disconnectFromServer();
    };
    QString command = socket->property(pendingCommand).toString();
    if (command.isEmpty()) {
        if (!socket->canReadLine()) {
            if (socket->bytesAvailable() > maxCommandLength) {
                refuse("command too long");
            }
            return;
        }
        command = QString::fromUtf8(socket->readLine(maxCommandLength + 1)).trimmed();
        const QString verb = command.section(QLatin1Char(' '), 0, 0);
        if (verb == QLatin1String("import")) {
            bool ok = false;
            const qint64 size = command.section(QLatin1Char(' '), 1).toLongLong(&ok);
            if (!ok || size < 0 || size > maxPayload) {
                refuse("bad payload size");
                return;
            }
            socket->setProperty(pendingCommand, verb);
            socket->setProperty(pendingSize, size);
        } else if (command == QLatin1String("sync")) {
            InstanceReply reply;
            reply.m_state = std::make_shared<InstanceReply::State>();
            reply.m_state->socket = socket;
            emit requestReceived(command, {}, reply);
            return;
        } else if (isValidCommand(command)) {
            socket->write("ok\n");
            socket->flush();
            socket->disconnectFromServer();
            // Answer first, then run: the command may open a picker or a window.
            emit commandReceived(command);
            return;
        } else {
            refuse("unknown command");
            return;
        }
        command = socket->property(pendingCommand).toString();
    }
    const qint64 size = socket->property(pendingSize).toLongLong();
    if (socket->bytesAvailable() < size) {
        return;
    }
    const QByteArray payload = socket->read(size);
    socket->setProperty(pendingCommand, QVariant());
    InstanceReply reply;
    reply.m_state = std::make_shared<InstanceReply::State>();
    reply.m_state->socket = socket;
    emit requestReceived(command, payload, reply);
}

namespace InstanceClient {

Expected<QString, Failure> request(const QString& socketPath, const QString& command,
                                   const QByteArray& payload, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(std::min(timeoutMs, 3000))) {
        return unexpected(Failure{Error::notRunning, {}});
    }
    socket.write(command.toUtf8() + '\n' + payload);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(timeoutMs)) {
            return unexpected(Failure{Error::noAnswer, {}});
        }
    }
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(timeoutMs)) {
            return unexpected(Failure{Error::noAnswer, {}});
        }
    }
    const QString answer = QString::fromUtf8(socket.readLine()).trimmed();
    if (answer == QLatin1String("ok")) {
        return QString();
    }
    if (answer.startsWith(QLatin1String("ok "))) {
        return answer.mid(3);
    }
    return unexpected(Failure{Error::refused,
                              answer.startsWith(QLatin1String("error ")) ? answer.mid(6) : answer});
}

Expected<void, Failure> send(const QString& socketPath, const QString& command, int timeoutMs)
{
    const auto answer = request(socketPath, command, {}, timeoutMs);
    if (!answer) {
        return unexpected(answer.error());
    }
    return {};
}

} // namespace InstanceClient
