#pragma once

#include "common/Expected.h"
#include "history/HistoryItem.h"

#include <QLatin1StringView>
#include <QList>
#include <QLockFile>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <QUuid>

#include <chrono>
#include <functional>
#include <memory>

class Clock;
class EncryptionService;
class HistoryLimits;
class SecretStore;

// The list of past captures, newest first, kept within its limits (30 days
// and 1000 records unless HistoryLimits says less) and stored encrypted in
// the file "captureHistoryEncrypted" of the data directory. Belongs to the
// main thread.
//
// The key comes from the user's secret store without blocking the main
// thread. Until it is at hand (a locked keyring, a store that does not
// answer), changes stay in memory and the records they add are reported as
// not saved; nothing is written, neither in clear nor over the encrypted
// file. The key is asked for again at the next save, every retryInterval and
// when the store says it may answer now; the first answer writes what waits.
//
// One process writes the history at a time: the service holds the lock file
// "history.lock" of the data directory from before it reads the history until
// it is destroyed. While another process (quillsnap-cli) holds it, the stored
// history is not read (storage() stays loading) and nothing is written;
// captures wait in memory and are merged in once the lock is free.
//
// A plain-JSON "captureHistory" file from an older version is read and
// replaced by the encrypted form; it is never written. Stored history is
// never thrown away because it cannot be read: an entry that fails to
// decrypt or decode is copied next to itself as "<name>.unreadable-<UTC
// time>" before anything replaces it. Kept-aside encrypted blocks that
// decrypt again later are merged in at load and removed after the next save.
class HistoryService : public QObject
{
    Q_OBJECT
public:
    static constexpr int retentionDays = 30;
    static constexpr qsizetype maxItems = 1000;
    static constexpr QLatin1StringView storageKey{"captureHistory"};
    static constexpr QLatin1StringView encryptedStorageKey{"captureHistoryEncrypted"};
    static constexpr std::chrono::seconds retryInterval{30};
    static constexpr QLatin1StringView lockFileName{"history.lock"};
    static constexpr std::chrono::milliseconds lockRetryInterval{250};

    enum class Storage {
        saved,         // what is on disk is the list in memory
        loading,       // the stored history waits for the key to be read
        waitingForKey, // the key cannot be had now: changes stay in memory
        writeFailed,   // the file could not be written (disk full, permissions)
    };
    Q_ENUM(Storage)

    // dataDir: where the history files live. Loads the stored history (at
    // once when no key is needed, else once the key is at hand).
    HistoryService(QString dataDir, EncryptionService& encryption, Clock& clock,
                   QObject* parent = nullptr);
    ~HistoryService() override;

    const QList<HistoryItem>& items() const { return m_items; }
    // Changes of the list; each emits itemsChanged() once the new list is in
    // place. Callers save afterwards.
    void setItems(QList<HistoryItem> items);
    void insert(qsizetype index, const HistoryItem& item);
    // Removes every record with that id; returns how many went.
    qsizetype remove(const QUuid& id);

    void loadHistory();
    // Writes the list, now or as soon as the key is at hand.
    void saveHistory();
    // Drops records older than the retention in calendar days of local time,
    // then all but the newest records beyond the count limit. Does not save.
    void cleanupOldItems();
    // Sets isSynced and cloudRecordID of the first record with that id and
    // saves (unless the caller saves once after many); does nothing when
    // there is none.
    void markAsSynced(const QUuid& id, const QString& recordName, bool saveNow = true);
    QList<HistoryItem> unsyncedItems() const;

    // The stored history has been read into items() (or there was none).
    bool isLoaded() const { return m_loaded; }
    // Calls done(true) once the stored history is loaded (at once when it
    // is), or done(false) when it is not within limit (the keyring is
    // locked, or another process holds the lock). Not at all once context
    // is gone.
    void whenLoaded(QObject* context, std::chrono::milliseconds limit,
                    std::function<void(bool loaded)> done);
    // The process id of the holder of the lock, while the service waits for it.
    std::optional<qint64> lockHolder() const;
    // What cleanupOldItems() keeps: records from this instant on (invalid
    // when there is no age limit), and at most this many.
    QDateTime retentionCutoff() const;
    qsizetype itemLimit() const;

    // Limits chosen by the user; not owned; null keeps the fixed ones.
    void setLimits(const HistoryLimits* limits) { m_limits = limits; }

    Storage storage() const { return m_storage; }
    // Changes that are not on disk yet (waiting for the key, or a failed write).
    bool hasUnsavedChanges() const { return m_dirty; }
    // False for a record added since the list was last written.
    bool isSaved(const QUuid& id) const { return !m_unsaved.contains(id); }
    // Asks for the key again when something waits for it.
    void retryKey();

    // UTF-8 size of all texts, e.g. "0 bytes", "1 byte", "512 bytes",
    // "1.2 KB", "34 KB", "3.4 MB" (decimal units).
    QString formattedStorageSize() const;
    static QString formatByteCount(qint64 bytes);

    // Kept-aside copies of unreadable entries stored under key, oldest first.
    QStringList keptAsidePaths(QLatin1StringView key) const;
    // The file that holds the entry stored under key.
    QString storagePath(QLatin1StringView key) const;

    // Why the stored history could not be read by readStored().
    struct ReadError
    {
        enum class Kind {
            keyUnavailable, // the store did not answer or is locked
            keyMissing,     // the store holds no history key
            cannotDecrypt,  // the key does not open the stored history
            damaged,        // the stored history is not a list of records
            unreadable,     // the file cannot be read
        };
        Kind kind;
        QString detail; // the store's name, or the file problem
    };
    // Reads the stored history without changing anything (no key is made,
    // nothing migrated or written), newest first; blocks for at most
    // keyTimeLimit on the secret store. For command-line tools.
    static Expected<QList<HistoryItem>, ReadError>
    readStored(const QString& dataDir, std::shared_ptr<SecretStore> store,
               std::chrono::milliseconds keyTimeLimit);

signals:
    void itemsChanged();
    void storageChanged(HistoryService::Storage storage);

private:
    void requestKey();
    bool acquireLock();
    void finishLoad();
    void writeNow();
    void setStorage(Storage storage);
    std::optional<QList<HistoryItem>> decryptList(const QByteArray& block) const;
    bool keepAside(QLatin1StringView key, const QByteArray& data);
    bool mergeKeptAside(QList<HistoryItem>& items);
    bool protectUnreadableEntry();

    QString m_dataDir;
    EncryptionService& m_encryption;
    Clock& m_clock;
    const HistoryLimits* m_limits = nullptr;
    QList<HistoryItem> m_items;
    Storage m_storage = Storage::saved;
    // The stored history has been read into m_items (or there was none).
    bool m_loaded = false;
    // m_items holds changes that are not on disk yet.
    bool m_dirty = false;
    bool m_keyRequested = false;
    bool m_askAgain = false;
    QSet<QUuid> m_unsaved;
    QTimer m_retryTimer;
    std::unique_ptr<QLockFile> m_lock;
    QTimer m_lockTimer;
    // The encrypted entry on disk could not be read at load and has not been
    // replaced since; it may be overwritten only once kept aside.
    bool m_encryptedUnreadable = false;
    bool m_encryptedKeptAside = false;
    // Kept-aside blocks whose records are in the list; removed after the next
    // save.
    QStringList m_mergedAsidePaths;
};
