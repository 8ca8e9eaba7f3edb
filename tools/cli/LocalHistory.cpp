#include "LocalHistory.h"

#include "CliOutput.h"
#include "common/AppPaths.h"
#include "common/Clock.h"
#include "common/InstanceChannel.h"
#include "platform/SecretStoreFactory.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

std::optional<Expected<QString, QString>>
askRunningApp(const QString& command, const QByteArray& payload, std::chrono::milliseconds timeout)
{
    const auto tr = [](const char* text) {
        return QCoreApplication::translate("LocalHistory", text);
    };
    // No private runtime directory: no application can be listening.
    if (!AppPaths::checkedPrivateTempDir()) {
        return std::nullopt;
    }
    const auto answer = InstanceClient::request(InstanceServer::defaultSocketPath(), command,
                                                payload, int(timeout.count()));
    if (answer) {
        return Expected<QString, QString>(*answer);
    }
    switch (answer.error().error) {
    case InstanceClient::Error::notRunning:
        return std::nullopt;
    case InstanceClient::Error::noAnswer:
        return Expected<QString, QString>(unexpected(tr("quillsnap did not answer")));
    case InstanceClient::Error::refused:
        break;
    }
    return Expected<QString, QString>(
        unexpected(CliOutput::printable(answer.error().detail, false)));
}

bool runEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const QDeadlineTimer deadline(limit);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return done();
}

LocalHistory::LocalHistory() : m_secrets(SecretStoreFactory::create()), m_encryption(m_secrets) {}

LocalHistory::~LocalHistory() = default;

Expected<HistoryService*, QString> LocalHistory::open(std::chrono::milliseconds limit)
{
    m_history =
        std::make_unique<HistoryService>(AppPaths::dataDir(), m_encryption, Clock::system());
    const bool loaded = runEventsUntil(
        [this] {
            return m_history->isLoaded() ||
                   m_history->storage() == HistoryService::Storage::waitingForKey;
        },
        limit);
    if (loaded && m_history->isLoaded()) {
        return m_history.get();
    }
    if (const auto holder = m_history->lockHolder()) {
        return unexpected(tr("the history is in use by another quillsnap process (%1); try again "
                             "when it is done")
                              .arg(*holder));
    }
    return unexpected(tr("the history key cannot be read: %1 is locked or does not answer")
                          .arg(m_secrets.displayName()));
}

Expected<void, QString> LocalHistory::waitUntilSaved(std::chrono::milliseconds limit)
{
    runEventsUntil(
        [this] {
            return !m_history->hasUnsavedChanges() ||
                   m_history->storage() == HistoryService::Storage::writeFailed;
        },
        limit);
    if (!m_history->hasUnsavedChanges()) {
        return {};
    }
    if (m_history->storage() == HistoryService::Storage::writeFailed) {
        return unexpected(tr("the history cannot be written to %1")
                              .arg(m_history->storagePath(HistoryService::encryptedStorageKey)));
    }
    return unexpected(tr("the history cannot be saved: %1 is locked or does not answer")
                          .arg(m_secrets.displayName()));
}
