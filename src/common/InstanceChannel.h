#pragma once

#include "common/Expected.h"

#include <QLocalServer>
#include <QObject>
#include <QString>

// One running instance per user session. The first process listens on a
// local socket in the user's private runtime directory (mode 0700, so no
// other user can connect); later starts and the command-line tool hand their
// request to it over that socket.
//
// Protocol: the client sends one command line ("capture", "scan", "settings",
// "activate", or "capture X,Y,W,H" / "scan X,Y,W,H" for a region of the desktop)
// terminated by "\n"; the server answers "ok\n" or "error <reason>\n".
class InstanceServer : public QObject
{
    Q_OBJECT
public:
    explicit InstanceServer(QObject* parent = nullptr);
    ~InstanceServer() override;

    // The socket path of this user's instance.
    static QString defaultSocketPath();

    enum class ListenResult { listening, anotherInstanceRuns, failed };
    // Listens on path, replacing a stale socket that nobody answers.
    ListenResult listen(const QString& path);
    QString errorString() const;

signals:
    void commandReceived(const QString& command);

private:
    void onNewConnection();
    QLocalServer m_server;
    QString m_error;
};

namespace InstanceClient {

enum class Error { notRunning, noAnswer, refused };
struct Failure
{
    Error error;
    QString detail; // for refused: the instance's reason
};

// Sends command to the running instance and waits up to timeoutMs for its
// answer. Blocking: for the command-line tool and a second start only.
Expected<void, Failure> send(const QString& socketPath, const QString& command,
                             int timeoutMs = 3000);

} // namespace InstanceClient
