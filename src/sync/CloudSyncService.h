#pragma once

#include "common/Expected.h"
#include "history/HistoryItem.h"
#include "sync/CloudDatabase.h"
#include "sync/SyncConfiguration.h"
#include "sync/SyncIndex.h"
#include "sync/SyncStatus.h"

#include <QDateTime>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class AsyncSecretStore;
class Clock;
class HistoryService;
class Preferences;

// Keeps the capture history in step between the user's machines through a
// private database (SyncConfiguration: a WebDAV collection or a synced
// folder) that holds every record sealed under the sync passphrase.
//
// A run checks the database (reachable, passphrase right) before anything
// moves, uploads the records not uploaded yet, one after another, then
// fetches the records the history does not know, in pages of 50 newest
// first, adds them, trims the history to its limits and saves it. Nothing is
// ever deleted from the database. Runs start when the switch is turned on,
// every autoSyncInterval while it stays on, and at start-up when it was left
// on; each capture is uploaded at once as well.
//
// Runs never overlap: a run asked for while one is under way follows it
// (a timer tick is dropped instead), so a record is merged at most once.
// Belongs to the main thread.
class CloudSyncService : public QObject
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds defaultAutoSyncInterval{300000};
    static constexpr std::chrono::milliseconds defaultSuccessDuration{2000};
    static constexpr std::chrono::milliseconds historyWaitLimit{30000};
    static constexpr int pageSize = 50;

    struct SyncReport
    {
        int uploaded = 0;
        int downloaded = 0;   // records added to the history
        int unreadable = 0;   // records skipped: damaged, incomplete or incomplete fields
        QList<int> pageSizes; // records per page fetched
    };
    using RunResult = Expected<SyncReport, QString>;

    // history: the history store, touched (and so loaded) by the first run.
    // dataDir: where the index of seen records is kept.
    CloudSyncService(Preferences& preferences, AsyncSecretStore& secrets,
                     std::function<HistoryService&()> history, QString dataDir, Clock& clock,
                     QObject* parent = nullptr);
    ~CloudSyncService() override;

    // First use: when the switch is on, checks the account on a later turn
    // of the event loop and starts the automatic runs (only the timer's when
    // the database cannot be reached now). Unavailability found here is not
    // shown as an error.
    void start();

    SyncStatus syncStatus() const { return m_status; }
    // End of the last successful run of this process.
    std::optional<QDateTime> lastSyncDate() const { return m_lastSyncDate; }
    bool iCloudSyncEnabled() const { return m_enabled; }
    // Stores the switch; on: checks the account, then runs and schedules
    // runs, or shows why sync is not available; off: no more automatic runs
    // (a run under way finishes).
    void setICloudSyncEnabled(bool enabled);
    // The last account check succeeded.
    bool isCloudAvailable() const { return m_available; }
    bool isSyncing() const { return bool(m_run); }
    bool isAutoSyncScheduled() const { return m_timer.isActive(); }
    // "Never", or how long ago the last successful run ended (also one of an
    // earlier start): "just now", "5 minutes ago", "in 2 hours"...
    QString lastSyncText() const;
    static QString relativePhrase(const QDateTime& date, const QDateTime& now);

    // One run, after the one under way if any; done (optional) gets the run's
    // report or the reason it failed.
    void performSync(std::function<void(RunResult)> done = {});
    // Uploads one capture now, when the switch is on and the database has
    // been checked; otherwise does nothing and reports success.
    void uploadItem(const HistoryItem& item,
                    std::function<void(Expected<void, CloudError>)> done = {});
    // Opens the database: settings, secrets, reachability, passphrase. The
    // error is the reason, to follow "Sync is not available: ".
    void checkAccountStatus(std::function<void(Expected<void, QString>)> done);
    // Runs now when sync is on and available, and every autoSyncInterval.
    void startAutoSync();

    void setAutoSyncInterval(std::chrono::milliseconds interval);
    void setSuccessDuration(std::chrono::milliseconds duration)
    {
        m_successTimer.setInterval(duration);
    }
    // How long one request to the database may go without progress.
    void setRequestTimeout(std::chrono::milliseconds timeout) { m_requestTimeout = timeout; }
    // Requests made to the current database, for measurements.
    int requestCount() const;

    static QString notAvailableMessage(const QString& reason);
    // Where the WebDAV password and the passphrase are read from.
    AsyncSecretStore& secretStore() const { return m_secrets; }

signals:
    void syncStatusChanged(const SyncStatus& status);
    void lastSyncDateChanged();
    void iCloudSyncEnabledChanged(bool enabled);

private:
    struct Run;
    using DatabaseResult = Expected<std::shared_ptr<CloudDatabase>, QString>;
    struct Page
    {
        QList<CloudRecord> records;
        CloudCursor next;
        int unreadable = 0;
    };

    void openDatabase(std::function<void(DatabaseResult)> done);
    void finishOpen(const DatabaseResult& result);
    void useSecrets(const SyncConfiguration& config, const QByteArray& passphrase,
                    const QByteArray& password);
    void startRun(QList<std::function<void(RunResult)>> callbacks);
    void uploadNext();
    void saveItem(const std::shared_ptr<CloudDatabase>& database, const HistoryItem& item,
                  bool saveNow, std::function<void(Expected<void, CloudError>)> done);
    void fetchItems(std::function<void(Expected<QList<HistoryItem>, CloudError>)> done);
    struct FetchState
    {
        CloudQuery query;
        std::shared_ptr<QSet<QString>> known;
        QList<CloudRecord> records;
        std::function<void(Expected<QList<HistoryItem>, CloudError>)> done;
    };
    void fetchPages(const std::shared_ptr<FetchState>& state, const CloudCursor& cursor);
    void fetchBatch(const CloudQuery& query, const CloudCursor& cursor,
                    std::function<void(Expected<Page, CloudError>)> done);
    void merge(const QList<HistoryItem>& fetched);
    void endRun(const RunResult& result);
    void setStatus(const SyncStatus& status);
    HistoryService& history() const { return m_history(); }

    Preferences& m_preferences;
    AsyncSecretStore& m_secrets;
    std::function<HistoryService&()> m_history;
    Clock& m_clock;
    SyncIndex m_index;

    SyncStatus m_status;
    std::optional<QDateTime> m_lastSyncDate;
    bool m_enabled = false;
    bool m_available = false;
    QTimer m_timer;
    QTimer m_successTimer;
    std::chrono::milliseconds m_requestTimeout{30000};

    std::shared_ptr<CloudDatabase> m_database;
    QByteArray m_databaseFingerprint; // of the settings and secrets it was made with
    bool m_opening = false;
    QList<std::function<void(DatabaseResult)>> m_openWaiting;

    std::unique_ptr<Run> m_run;
    bool m_runRequested = false;
    QList<std::function<void(RunResult)>> m_nextRunCallbacks;
};
