#pragma once

#include "sync/CloudDatabase.h"
#include "sync/SyncFormat.h"
#include "sync/SyncStorage.h"

#include <QHash>

#include <memory>

// The sync database on a storage backend, every record sealed under the
// passphrase (SyncFormat). The key check runs before anything else: a
// passphrase that does not open it is an error, and nothing is read or
// written with it. The query lists the records folder, fetches the records
// the caller does not skip (all at once: they are sorted by a time that only
// their sealed content holds) and serves pages from that snapshot.
class EncryptedCloudDatabase : public CloudDatabase
{
    Q_OBJECT
public:
    // Salts other than the key check's that records may name (two machines
    // that set up the database at once); a file naming yet another one is
    // skipped rather than costing another key derivation.
    static constexpr int maxForeignSalts = 4;

    EncryptedCloudDatabase(std::unique_ptr<SyncStorage> storage, QByteArray passphrase,
                           QObject* parent = nullptr);
    ~EncryptedCloudDatabase() override;

    QString location() const override { return m_storage->location(); }
    void checkAccount(std::function<void(Result<void>)> done) override;
    void saveRecord(const CloudRecord& record, std::function<void(Result<QString>)> done) override;
    void fetchPage(const CloudQuery& query, const CloudCursor& cursor, int limit,
                   std::function<void(Result<CloudRecord>)> recordMatched,
                   std::function<void(Result<CloudCursor>)> queryResult) override;
    int requestCount() const override { return m_storage->requestCount(); }

    SyncStorage& storage() const { return *m_storage; }

    static QString wrongPassphraseMessage();

private:
    struct Snapshot;
    void readKeyCheck(bool maySetUp, std::function<void(Result<void>)> done, int attempt = 0);
    void setUp(std::function<void(Result<void>)> done);
    void unlock(const QByteArray& file, std::function<void(Result<void>)> done);
    // Derives the keys of salts not seen yet, on a worker thread.
    void deriveKeys(QList<QByteArray> salts, std::function<void()> done);
    void openFetched(const QStringList& names,
                     const QList<SyncStorage::Result<SyncStorage::Content>>& contents,
                     const CloudQuery& query, int limit,
                     std::function<void(Result<CloudRecord>)> recordMatched,
                     std::function<void(Result<CloudCursor>)> queryResult);
    void servePage(std::shared_ptr<const Snapshot> snapshot, qsizetype offset, int limit,
                   const std::function<void(Result<CloudRecord>)>& recordMatched,
                   const std::function<void(Result<CloudCursor>)>& queryResult);

    std::unique_ptr<SyncStorage> m_storage;
    QByteArray m_passphrase;
    QByteArray m_checkFile;               // the key-check file last opened
    QByteArray m_salt;                    // its salt, sealing new records
    QHash<QByteArray, QByteArray> m_keys; // salt -> key
    int m_foreignSalts = 0;
};
