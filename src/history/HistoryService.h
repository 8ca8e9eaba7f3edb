#pragma once

#include "history/HistoryItem.h"

#include <QLatin1StringView>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QUuid>

class Clock;
class EncryptionService;

// The list of past captures, newest first, kept within 30 days and 1000
// records and persisted through the preferences: encrypted under
// "captureHistoryEncrypted" whenever encryption works, as plain JSON under
// "captureHistory" otherwise. Belongs to the main thread.
//
// Stored history is never thrown away because it cannot be read right now: an
// entry that fails to decrypt or decode is first copied next to itself as
// "<key>.unreadable-<UTC time>" (once per distinct content). Kept-aside
// encrypted blocks that decrypt again later (the keyring is back) are merged
// into the list at load and removed after the next encrypted save.
class HistoryService : public QObject
{
    Q_OBJECT
public:
    static constexpr int retentionDays = 30;
    static constexpr qsizetype maxItems = 1000;
    static constexpr QLatin1StringView storageKey{"captureHistory"};
    static constexpr QLatin1StringView encryptedStorageKey{"captureHistoryEncrypted"};

    // Loads the stored history and applies the limits. Writes only to migrate
    // a plain list to the encrypted form or to fold in kept-aside blocks.
    // dataDir: where the two history files live, one per storage key.
    HistoryService(QString dataDir, EncryptionService& encryption, Clock& clock,
                   QObject* parent = nullptr);
    ~HistoryService() override;

    static HistoryService& shared();

    const QList<HistoryItem>& items() const { return m_items; }
    // Changes of the list; each emits itemsChanged() once the new list is in
    // place. Callers save afterwards.
    void setItems(QList<HistoryItem> items);
    void insert(qsizetype index, const HistoryItem& item);
    // Removes every record with that id; returns how many went.
    qsizetype remove(const QUuid& id);

    void loadHistory();
    void saveHistory();
    // Drops records older than retentionDays calendar days in local time, then
    // all but the first maxItems. Does not save.
    void cleanupOldItems();
    // Sets isSynced and cloudRecordID of the first record with that id and
    // saves; does nothing when there is none.
    void markAsSynced(const QUuid& id, const QString& recordName);
    QList<HistoryItem> unsyncedItems() const;

    // UTF-8 size of all texts, e.g. "0 bytes", "1 byte", "512 bytes",
    // "1.2 KB", "34 KB", "3.4 MB" (decimal units).
    QString formattedStorageSize() const;
    // Decimal units of 1000: up to 999 in bytes, then KB, MB, GB, TB with one
    // decimal below 100 (dropped when it is 0) and none from 100 on.
    static QString formatByteCount(qint64 bytes);

    // Kept-aside copies of unreadable entries stored under key, oldest first.
    QStringList keptAsidePaths(QLatin1StringView key) const;
    // The file that holds the entry stored under key.
    QString storagePath(QLatin1StringView key) const;

signals:
    void itemsChanged();

private:
    std::optional<QList<HistoryItem>> decryptList(const QByteArray& block);
    bool keepAside(QLatin1StringView key, const QByteArray& data);
    bool mergeKeptAside(QList<HistoryItem>& items);
    bool protectUnreadableEntry();

    QString m_dataDir;
    EncryptionService& m_encryption;
    Clock& m_clock;
    QList<HistoryItem> m_items;
    // The encrypted entry on disk could not be read at load and has not been
    // replaced since; it may be overwritten or retired only once kept aside.
    bool m_encryptedUnreadable = false;
    bool m_encryptedKeptAside = false;
    // Kept-aside blocks whose records are in the list; removed after the next
    // encrypted save.
    QStringList m_mergedAsidePaths;
};
