#pragma once

#include "common/Expected.h"

#include <QLocalServer>
#include <QObject>
#include <QString>

#include <memory>

class QLocalSocket;

// One running instance per user session. The first process listens on a
// local socket in the user's private runtime directory (mode 0700, so no
// other user can connect); later starts and the command-line tool hand their
// request to it over that socket.
//
// Protocol: the client sends one command line terminated by "\n"; the server
// answers one line, "ok" or "ok <detail>", or "error <reason>".
// - "capture", "scan", "settings", "activate", or "capture X,Y,W,H" /
//   "scan X,Y,W,H" for a region of the desktop: answered at once, then run.
// - "sync": answered when the work is done, with its outcome.
// - "import <n>": followed by n bytes (at most maxPayload); answered when done.
class InstanceServer;

// The answer to a request that is given when its work is done. Copies share
// one answer: the first call of ok() or fail() sends it, later ones do
// nothing. A request left without answer is answered "error" when the last
// copy goes.
class InstanceReply
{
public:
    void ok(const QString& detail = {}) const;
    void fail(const QString& reason) const;

private:
    friend class InstanceServer;
    struct State;
    std::shared_ptr<State> m_state;
};

class InstanceServer : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 maxPayload = 64 * 1024 * 1024;

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
    // A request that wants its outcome: "sync", or "import" with the bytes
    // that followed it.
    void requestReceived(const QString& command, const QByteArray& payload,
                         const InstanceReply& reply);

private:
    void onNewConnection();
    void readFrom(QLocalSocket* socket);
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
// The same with a payload after the command line (for "import <n>"); the
// answer's detail after "ok".
Expected<QString, Failure> request(const QString& socketPath, const QString& command,
                                   const QByteArray& payload, int timeoutMs);

} // namespace InstanceClient
