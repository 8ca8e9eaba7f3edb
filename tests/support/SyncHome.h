#pragma once

#include "common/Clock.h"
#include "history/AsyncSecretStore.h"
#include "history/EncryptionService.h"
#include "history/HistoryService.h"
#include "settings/PreferenceKeys.h"
#include "settings/Preferences.h"
#include "sync/CloudSyncService.h"
#include "sync/SyncConfiguration.h"

#include "MemorySecretStore.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

// One machine that syncs: its own data directory, preferences, keyring and
// clock, and the real history and sync services on them.
struct SyncHome
{
    QTemporaryDir dir;
    std::shared_ptr<MemorySecretStore> keyring = std::make_shared<MemorySecretStore>();
    AsyncSecretStore secrets{keyring, std::chrono::milliseconds(3000)};
    ManualClock clock{QDateTime(QDate(2026, 4, 10), QTime(12, 0), Qt::UTC)};
    Preferences preferences{dir.filePath(QStringLiteral("quillsnap.conf"))};
    EncryptionService encryption{secrets};
    std::unique_ptr<HistoryService> historyService;
    std::unique_ptr<CloudSyncService> sync;
    QString deviceName;

    // backend "webdav" (location: the collection's address) or "folder".
    SyncHome(const QString& device, const QString& backend, const QString& location,
             const QByteArray& passphrase = "correct horse battery staple")
        : deviceName(device)
    {
        preferences.setValue(PreferenceKeys::syncBackend, backend);
        if (backend == QLatin1String("folder")) {
            preferences.setValue(PreferenceKeys::syncFolder, location);
        } else {
            preferences.setValue(PreferenceKeys::syncWebDAVURL, location);
            preferences.setValue(PreferenceKeys::syncWebDAVUser, QStringLiteral("tester"));
            setSecret(SyncConfiguration::passwordAccount, "s3cret");
        }
        setSecret(SyncConfiguration::passphraseAccount, passphrase);
        restart();
    }

    QString dataDir() const { return dir.filePath(QStringLiteral("data")); }

    void setSecret(QLatin1StringView account, const QByteArray& secret)
    {
        keyring->set(QString(SyncConfiguration::keychainService), QString(account), secret);
    }

    // A new start of the application on the same files.
    void restart()
    {
        sync.reset();
        historyService.reset();
        sync = std::make_unique<CloudSyncService>(
            preferences, secrets, [this]() -> HistoryService& { return history(); }, dataDir(),
            clock);
        sync->setRequestTimeout(std::chrono::milliseconds(2000));
    }

    HistoryService& history()
    {
        if (!historyService) {
            historyService = std::make_unique<HistoryService>(dataDir(), encryption, clock);
            (void)QTest::qWaitFor([this] { return historyService->isLoaded(); }, 5000);
        }
        return *historyService;
    }

    // What the capture workflow does with a new capture.
    HistoryItem capture(const QString& text, qint64 minutesAgo = 0)
    {
        const HistoryItem item =
            HistoryItem::create(text, clock.now().addSecs(-60 * minutesAgo), deviceName);
        history().insert(0, item);
        history().cleanupOldItems();
        history().saveHistory();
        return item;
    }

    CloudSyncService::RunResult run()
    {
        std::optional<CloudSyncService::RunResult> result;
        sync->performSync([&result](CloudSyncService::RunResult r) { result = std::move(r); });
        if (!QTest::qWaitFor([&result] { return result.has_value(); }, 60000)) {
            return unexpected(QStringLiteral("the run did not end"));
        }
        return *result;
    }

    // The texts of the history, sorted.
    QStringList texts()
    {
        QStringList out;
        for (const HistoryItem& item : history().items()) {
            out.append(item.text);
        }
        out.sort();
        return out;
    }
    qsizetype unsynced() { return history().unsyncedItems().size(); }
};
