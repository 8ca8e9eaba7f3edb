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
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > maxCommandLength) {
                    socket->write("error command too long\n");
                    socket->disconnectFromServer();
                }
                return;
            }
            const QString command =
                QString::fromUtf8(socket->readLine(maxCommandLength + 1)).trimmed();
            if (!isValidCommand(command)) {
                socket->write("error unknown command\n");
                socket->disconnectFromServer();
                return;
            }
            socket->write("ok\n");
            socket->flush();
            socket->disconnectFromServer();
            // Answer first, then run: the command may open a picker or a window.
            emit commandReceived(command);
        });
    }
}

namespace InstanceClient {

Expected<void, Failure> send(const QString& socketPath, const QString& command, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(timeoutMs)) {
        return unexpected(Failure{Error::notRunning, {}});
    }
    socket.write(command.toUtf8() + '\n');
    if (!socket.waitForBytesWritten(timeoutMs)) {
        return unexpected(Failure{Error::noAnswer, {}});
    }
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(timeoutMs)) {
            return unexpected(Failure{Error::noAnswer, {}});
        }
    }
    const QString answer = QString::fromUtf8(socket.readLine()).trimmed();
    if (answer == QLatin1String("ok")) {
        return {};
    }
    return unexpected(Failure{Error::refused,
                              answer.startsWith(QLatin1String("error ")) ? answer.mid(6) : answer});
}

} // namespace InstanceClient
