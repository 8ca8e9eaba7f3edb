#include "sync/EncryptedCloudDatabase.h"

#include "common/BoundedCall.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#include <openssl/crypto.h>

#include <algorithm>

namespace {

void wipe(QByteArray& bytes)
{
    if (!bytes.isEmpty()) {
        OPENSSL_cleanse(bytes.data(), size_t(bytes.size()));
    }
    bytes.clear();
}

// Ample for scrypt on a slow machine; a derivation is never abandoned early.
constexpr std::chrono::milliseconds deriveTimeLimit{120000};

} // namespace

struct EncryptedCloudDatabase::Snapshot
{
    QList<CloudRecord> records;
};

EncryptedCloudDatabase::EncryptedCloudDatabase(std::unique_ptr<SyncStorage> storage,
                                               QByteArray passphrase, QObject* parent)
    : CloudDatabase(parent), m_storage(std::move(storage)), m_passphrase(std::move(passphrase))
{
    m_storage->setParent(nullptr);
}

EncryptedCloudDatabase::~EncryptedCloudDatabase()
{
    wipe(m_passphrase);
    for (QByteArray& key : m_keys) {
        wipe(key);
    }
}

QString EncryptedCloudDatabase::wrongPassphraseMessage()
{
    return tr("The sync passphrase does not match the one used on your other machines.");
}

void EncryptedCloudDatabase::checkAccount(std::function<void(Result<void>)> done)
{
    readKeyCheck(true, std::move(done));
}

void EncryptedCloudDatabase::readKeyCheck(bool maySetUp, std::function<void(Result<void>)> done,
                                          int attempt)
{
    const QString path(SyncFormat::keyCheckFile);
    m_storage->readAll({path}, [this, maySetUp, path, done = std::move(done), attempt](auto read) {
        if (!read) {
            done(unexpected(read.error()));
            return;
        }
        const auto& content = read->first();
        if (!content) {
            done(unexpected(content.error()));
        } else if (!content->has_value() && maySetUp) {
            setUp(done);
        } else if (!content->has_value()) {
            done(unexpected(CloudError{CloudError::Code::serverRejectedRequest,
                                       tr("%1 does not keep %2.").arg(location(), path)}));
        } else if (!SyncFormat::parseKeyCheck(**content) && attempt < 4) {
            // Another machine may be writing it this moment (a server that
            // writes in place, a sync tool that delivers it in parts): read
            // again before calling it damaged.
            QTimer::singleShot(250 * (attempt + 1), this, [this, maySetUp, done, attempt] {
                readKeyCheck(maySetUp, done, attempt + 1);
            });
        } else {
            unlock(**content, done);
        }
    });
}

void EncryptedCloudDatabase::setUp(std::function<void(Result<void>)> done)
{
    // A new database: its folders, then a key-check file under a new salt.
    // Two machines doing this at once may both write one; whichever stays,
    // records name their own salt and remain readable.
    m_storage->prepare(QString(SyncFormat::recordsFolder), [this, done](auto prepared) {
        if (!prepared) {
            done(unexpected(prepared.error()));
            return;
        }
        const QByteArray salt = SyncFormat::newSalt();
        deriveKeys({salt}, [this, salt, done] {
            const QByteArray key = m_keys.value(salt);
            const QByteArray file = SyncFormat::keyCheckFileFor(key, salt);
            if (file.isEmpty()) {
                done(unexpected(CloudError{CloudError::Code::storageFailure,
                                           tr("The sync key cannot be made.")}));
                return;
            }
            m_storage->create(QString(SyncFormat::keyCheckFile), file, [this, done](auto created) {
                if (!created && !created.error().isAlreadyPresent()) {
                    done(unexpected(created.error()));
                    return;
                }
                // Read back what is there now: another machine's may have won.
                readKeyCheck(false, done);
            });
        });
    });
}

void EncryptedCloudDatabase::unlock(const QByteArray& file, std::function<void(Result<void>)> done)
{
    if (file == m_checkFile && m_keys.contains(m_salt)) {
        done({});
        return;
    }
    auto check = SyncFormat::parseKeyCheck(file);
    if (!check) {
        done(unexpected(check.error()));
        return;
    }
    deriveKeys({check->salt}, [this, file, check = *check, done] {
        if (!SyncFormat::keyOpens(check, m_keys.value(check.salt))) {
            done(unexpected(
                CloudError{CloudError::Code::wrongPassphrase, wrongPassphraseMessage()}));
            return;
        }
        m_checkFile = file;
        m_salt = check.salt;
        done({});
    });
}

void EncryptedCloudDatabase::deriveKeys(QList<QByteArray> salts, std::function<void()> done)
{
    salts.removeIf([this](const QByteArray& salt) { return m_keys.contains(salt); });
    if (salts.isEmpty()) {
        done();
        return;
    }
    using Keys = QList<QByteArray>;
    BoundedCall::run<Keys>(
        this, deriveTimeLimit,
        [passphrase = m_passphrase, salts] {
            Keys keys;
            for (const QByteArray& salt : salts) {
                keys.append(SyncFormat::deriveKey(passphrase, salt));
            }
            return keys;
        },
        Keys(),
        [this, salts, done = std::move(done)](Keys keys) {
            for (qsizetype i = 0; i < keys.size() && i < salts.size(); ++i) {
                if (!keys.at(i).isEmpty()) {
                    m_keys.insert(salts.at(i), keys.at(i));
                }
            }
            done();
        });
}

void EncryptedCloudDatabase::saveRecord(const CloudRecord& record,
                                        std::function<void(Result<QString>)> done)
{
    const QByteArray key = m_keys.value(m_salt);
    if (key.isEmpty()) {
        done(unexpected(CloudError{CloudError::Code::notConfigured,
                                   tr("The sync passphrase has not been checked yet.")}));
        return;
    }
    if (!CloudRecord::isValidName(record.recordName)) {
        done(unexpected(CloudError{CloudError::Code::badRecord,
                                   tr("\"%1\" cannot name a record.").arg(record.recordName)}));
        return;
    }
    const QByteArray file = SyncFormat::sealRecord(key, m_salt, record.recordName, record.fields);
    if (file.isEmpty()) {
        done(unexpected(
            CloudError{CloudError::Code::storageFailure, tr("The record cannot be sealed.")}));
        return;
    }
    m_storage->create(SyncFormat::recordPath(record.recordName), file,
                      [name = record.recordName, done = std::move(done)](auto created) {
                          if (!created) {
                              done(unexpected(created.error()));
                          } else {
                              done(name);
                          }
                      });
}

void EncryptedCloudDatabase::fetchPage(const CloudQuery& query, const CloudCursor& cursor,
                                       int limit,
                                       std::function<void(Result<CloudRecord>)> recordMatched,
                                       std::function<void(Result<CloudCursor>)> queryResult)
{
    if (cursor) {
        // Later pages come from the first page's snapshot; answered on a
        // later turn of the event loop, as every other call is.
        auto snapshot = std::static_pointer_cast<const Snapshot>(cursor.state);
        QTimer::singleShot(0, this,
                           [this, snapshot, offset = cursor.offset, limit,
                            recordMatched = std::move(recordMatched),
                            queryResult = std::move(queryResult)] {
                               servePage(snapshot, offset, limit, recordMatched, queryResult);
                           });
        return;
    }
    if (!m_keys.contains(m_salt)) {
        queryResult(unexpected(CloudError{CloudError::Code::notConfigured,
                                          tr("The sync passphrase has not been checked yet.")}));
        return;
    }
    m_storage->list(QString(SyncFormat::recordsFolder),
                    [this, query, limit, recordMatched = std::move(recordMatched),
                     queryResult = std::move(queryResult)](auto listed) mutable {
                        if (!listed) {
                            queryResult(unexpected(listed.error()));
                            return;
                        }
                        QStringList names;
                        QStringList paths;
                        for (const SyncStorage::Entry& entry : *listed) {
                            const QString name = SyncFormat::recordNameOfFile(entry.name);
                            if (name.isEmpty() || (query.skipName && query.skipName(name))) {
                                continue;
                            }
                            names.append(name);
                            paths.append(SyncFormat::recordPath(name));
                        }
                        m_storage->readAll(paths, [this, names, query, limit, recordMatched,
                                                   queryResult](auto read) {
                            if (!read) {
                                queryResult(unexpected(read.error()));
                                return;
                            }
                            openFetched(names, *read, query, limit, recordMatched, queryResult);
                        });
                    });
}

void EncryptedCloudDatabase::openFetched(
    const QStringList& names, const QList<SyncStorage::Result<SyncStorage::Content>>& contents,
    const CloudQuery& query, int limit, std::function<void(Result<CloudRecord>)> recordMatched,
    std::function<void(Result<CloudCursor>)> queryResult)
{
    QList<QByteArray> newSalts;
    for (const auto& content : contents) {
        if (content && content->has_value()) {
            const QByteArray salt = SyncFormat::saltOfRecord(**content);
            if (!salt.isEmpty() && !m_keys.contains(salt) && !newSalts.contains(salt) &&
                m_foreignSalts + newSalts.size() < maxForeignSalts) {
                newSalts.append(salt);
            }
        }
    }
    m_foreignSalts += int(newSalts.size());
    deriveKeys(newSalts, [this, names, contents, query, limit, recordMatched, queryResult] {
        auto snapshot = std::make_shared<Snapshot>();
        for (qsizetype i = 0; i < contents.size(); ++i) {
            const auto& content = contents.at(i);
            if (!content) {
                recordMatched(unexpected(content.error()));
                continue;
            }
            if (!content->has_value()) {
                continue; // gone since the listing
            }
            const QByteArray& file = **content;
            const auto fields = SyncFormat::openRecord(m_keys.value(SyncFormat::saltOfRecord(file)),
                                                       names.at(i), file);
            if (!fields) {
                // Damaged, still arriving from a sync tool, or sealed under
                // another passphrase: skipped now, tried again next time.
                recordMatched(
                    unexpected(CloudError{CloudError::Code::badRecord,
                                          tr("The record %1 cannot be opened.").arg(names.at(i))}));
                continue;
            }
            snapshot->records.append(CloudRecord{names.at(i), *fields});
        }
        // Newest first (or oldest first); records without a valid time last.
        const bool ascending = query.ascending;
        std::stable_sort(snapshot->records.begin(), snapshot->records.end(),
                         [ascending](const CloudRecord& a, const CloudRecord& b) {
                             const auto ta = a.timestamp();
                             const auto tb = b.timestamp();
                             if (!ta || !tb) {
                                 return ta.has_value() && !tb.has_value();
                             }
                             return ascending ? *ta < *tb : *ta > *tb;
                         });
        servePage(snapshot, 0, limit, recordMatched, queryResult);
    });
}

void EncryptedCloudDatabase::servePage(
    std::shared_ptr<const Snapshot> snapshot, qsizetype offset, int limit,
    const std::function<void(Result<CloudRecord>)>& recordMatched,
    const std::function<void(Result<CloudCursor>)>& queryResult)
{
    const qsizetype total = snapshot->records.size();
    const qsizetype end = limit > 0 ? std::min<qsizetype>(total, offset + limit) : total;
    for (qsizetype i = offset; i < end; ++i) {
        recordMatched(snapshot->records.at(i));
    }
    CloudCursor next;
    if (end < total) {
        next.state = snapshot;
        next.offset = end;
    }
    queryResult(next);
}
