#pragma once

#include "common/Expected.h"
#include "history/AsyncSecretStore.h"
#include "history/EncryptionService.h"
#include "history/HistoryService.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>

// Work on the stored history that the tray application does when it runs,
// and this tool does itself when it does not.

// Asks the running application to do command (with payload); answers its
// detail or the reason it failed. nullopt: no application runs.
std::optional<Expected<QString, QString>>
askRunningApp(const QString& command, const QByteArray& payload, std::chrono::milliseconds timeout);

// The stored history opened for writing in this process, as the application
// opens it: read once the history's lock is ours, which no other process
// then takes until this object goes.
class LocalHistory
{
    Q_DECLARE_TR_FUNCTIONS(LocalHistory)

public:
    LocalHistory();
    ~LocalHistory();

    // Runs the event loop until the stored history is read; fails when the
    // keyring does not answer or another process holds the lock too long.
    Expected<HistoryService*, QString> open(std::chrono::milliseconds limit);
    // Runs the event loop until every change is written.
    Expected<void, QString> waitUntilSaved(std::chrono::milliseconds limit);

    AsyncSecretStore& secrets() { return m_secrets; }

private:
    AsyncSecretStore m_secrets;
    EncryptionService m_encryption;
    std::unique_ptr<HistoryService> m_history;
};

// Runs the event loop until done() holds or limit passes; done() once more.
bool runEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);
