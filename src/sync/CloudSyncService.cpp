#include "sync/CloudSyncService.h"

#include "common/Clock.h"
#include "history/AsyncSecretStore.h"
#include "history/HistoryService.h"
#include "settings/PreferenceKeys.h"
#include "settings/Preferences.h"
#include "sync/EncryptedCloudDatabase.h"
#include "sync/FolderStorage.h"
#include "sync/SyncStorage.h"
#include "sync/WebDAVStorage.h"

#include <QCryptographicHash>
#include <QPointer>
#include <QSet>

#include <algorithm>

struct CloudSyncService::Run
{
    std::shared_ptr<CloudDatabase> database;
    QList<HistoryItem> pending;
    SyncReport report;
    bool merged = false;
    QList<std::function<void(RunResult)>> callbacks;
};

namespace {

void sortNewestFirst(QList<HistoryItem>& items)
{
    std::stable_sort(items.begin(), items.end(), [](const HistoryItem& a, const HistoryItem& b) {
        return a.timestamp > b.timestamp;
    });
}

QString keyringProblem()
{
    return CloudSyncService::tr("the keyring is locked or does not answer");
}

} // namespace

CloudSyncService::CloudSyncService(Preferences& preferences, AsyncSecretStore& secrets,
                                   std::function<HistoryService&()> history, QString dataDir,
                                   Clock& clock, QObject* parent)
    : QObject(parent), m_preferences(preferences), m_secrets(secrets),
      m_history(std::move(history)), m_clock(clock),
      m_index(dataDir + QLatin1Char('/') + SyncIndex::fileName),
      m_enabled(preferences.iCloudSyncEnabled())
{
    qRegisterMetaType<SyncStatus>();
    m_timer.setInterval(defaultAutoSyncInterval);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        // A tick during a run is dropped: the run under way does its work.
        if (m_enabled && !m_run) {
            performSync();
        }
    });
    m_successTimer.setSingleShot(true);
    m_successTimer.setInterval(defaultSuccessDuration);
    connect(&m_successTimer, &QTimer::timeout, this, [this] {
        if (m_status == SyncStatus::success()) {
            setStatus(SyncStatus::idle());
        }
    });
}

CloudSyncService::~CloudSyncService() = default;

QString CloudSyncService::notAvailableMessage(const QString& reason)
{
    return tr("Sync is not available: %1").arg(reason);
}

void CloudSyncService::start()
{
    QTimer::singleShot(0, this, [this] {
        // Switched off, the server is not contacted at all (a check would
        // set up a database that is missing).
        if (!m_enabled) {
            return;
        }
        checkAccountStatus([this](Expected<void, QString> checked) {
            m_available = checked.hasValue();
            if (!m_enabled) {
                return;
            }
            if (m_available) {
                startAutoSync();
            } else {
                // Offline at start-up: the timer's runs find the server
                // once it is back.
                m_timer.start();
            }
        });
    });
}

void CloudSyncService::setICloudSyncEnabled(bool enabled)
{
    if (enabled == m_enabled) {
        return;
    }
    m_enabled = enabled;
    m_preferences.setValue(PreferenceKeys::iCloudSyncEnabled, enabled);
    emit iCloudSyncEnabledChanged(enabled);
    if (!enabled) {
        m_timer.stop();
        return;
    }
    checkAccountStatus([this](Expected<void, QString> checked) {
        m_available = checked.hasValue();
        if (!m_enabled) {
            return; // switched off again meanwhile
        }
        if (!checked) {
            setStatus(SyncStatus::error(notAvailableMessage(checked.error())));
            return;
        }
        startAutoSync();
    });
}

void CloudSyncService::setAutoSyncInterval(std::chrono::milliseconds interval)
{
    m_timer.setInterval(interval);
}

int CloudSyncService::requestCount() const
{
    return m_database ? m_database->requestCount() : 0;
}

void CloudSyncService::startAutoSync()
{
    m_timer.stop();
    if (m_enabled && m_available) {
        performSync();
    }
    if (m_enabled) {
        m_timer.start();
    }
}

void CloudSyncService::checkAccountStatus(std::function<void(Expected<void, QString>)> done)
{
    openDatabase([done = std::move(done)](const DatabaseResult& opened) {
        if (opened) {
            done({});
        } else {
            done(unexpected(opened.error()));
        }
    });
}

void CloudSyncService::openDatabase(std::function<void(DatabaseResult)> done)
{
    m_openWaiting.append(std::move(done));
    if (m_opening) {
        return; // the check under way answers this one too
    }
    m_opening = true;
    const auto config = SyncConfiguration::fromPreferences(m_preferences);
    if (!config) {
        finishOpen(unexpected(config.error()));
        return;
    }
    const QString service(SyncConfiguration::keychainService);
    m_secrets.read(
        this, service, QString(SyncConfiguration::passphraseAccount),
        [this, config = *config, service](SecretStore::Lookup passphrase) {
            if (passphrase.status == SecretStore::Status::Unavailable) {
                finishOpen(unexpected(keyringProblem()));
                return;
            }
            if (passphrase.status == SecretStore::Status::NotFound || passphrase.secret.isEmpty()) {
                finishOpen(unexpected(tr("no sync passphrase is set")));
                return;
            }
            if (config.backend != SyncConfiguration::Backend::webdav ||
                config.webdavUser.isEmpty()) {
                useSecrets(config, passphrase.secret, {});
                return;
            }
            m_secrets.read(
                this, service, QString(SyncConfiguration::passwordAccount),
                [this, config, phrase = passphrase.secret](SecretStore::Lookup password) {
                    if (password.status == SecretStore::Status::Unavailable) {
                        finishOpen(unexpected(keyringProblem()));
                    } else if (password.status == SecretStore::Status::NotFound) {
                        finishOpen(unexpected(tr("no WebDAV password is set")));
                    } else {
                        useSecrets(config, phrase, password.secret);
                    }
                });
        });
}

void CloudSyncService::useSecrets(const SyncConfiguration& config, const QByteArray& passphrase,
                                  const QByteArray& password)
{
    // The database (and the key derived in it) is kept while neither the
    // settings nor the secrets change.
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(config.backend == SyncConfiguration::Backend::folder ? "folder" : "webdav");
    for (const QByteArray& part : {config.webdavURL.toEncoded(), config.webdavUser.toUtf8(),
                                   config.folder.toUtf8(), password, passphrase}) {
        hash.addData(QByteArray::number(part.size()) + ':' + part);
    }
    const QByteArray fingerprint = hash.result();
    if (!m_database || fingerprint != m_databaseFingerprint) {
        std::unique_ptr<SyncStorage> storage = config.makeStorage(password);
        if (auto* webdav = qobject_cast<WebDAVStorage*>(storage.get())) {
            webdav->setTimeout(m_requestTimeout);
        } else if (auto* folder = qobject_cast<FolderStorage*>(storage.get())) {
            folder->setTimeLimit(m_requestTimeout);
        }
        m_database = std::make_shared<EncryptedCloudDatabase>(std::move(storage), passphrase);
        m_databaseFingerprint = fingerprint;
    }
    std::shared_ptr<CloudDatabase> database = m_database;
    QPointer<CloudSyncService> self(this);
    database->checkAccount([self, database](CloudDatabase::Result<void> checked) {
        if (!self) {
            return;
        }
        if (checked) {
            self->finishOpen(database);
        } else {
            self->finishOpen(unexpected(checked.error().message));
        }
    });
}

void CloudSyncService::finishOpen(const DatabaseResult& result)
{
    m_opening = false;
    const auto waiting = std::exchange(m_openWaiting, {});
    for (const auto& done : waiting) {
        done(result);
    }
}

void CloudSyncService::performSync(std::function<void(RunResult)> done)
{
    if (m_run) {
        m_runRequested = true;
        if (done) {
            m_nextRunCallbacks.append(std::move(done));
        }
        return;
    }
    QList<std::function<void(RunResult)>> callbacks;
    if (done) {
        callbacks.append(std::move(done));
    }
    startRun(std::move(callbacks));
}

void CloudSyncService::startRun(QList<std::function<void(RunResult)>> callbacks)
{
    m_run = std::make_unique<Run>();
    m_run->callbacks = std::move(callbacks);
    setStatus(SyncStatus::syncing());
    // Nothing moves before the database is open with the right passphrase.
    openDatabase([this](const DatabaseResult& opened) {
        if (!opened) {
            m_available = false;
            endRun(unexpected(notAvailableMessage(opened.error())));
            return;
        }
        m_available = true;
        m_run->database = *opened;
        history().whenLoaded(this, historyWaitLimit, [this](bool ready) {
            if (!ready) {
                endRun(unexpected(tr("The history cannot be read now: the keyring is locked, or "
                                     "another quillsnap process is writing it.")));
                return;
            }
            m_run->pending = history().unsyncedItems();
            uploadNext();
        });
    });
}

void CloudSyncService::uploadNext()
{
    HistoryService& h = history();
    while (!m_run->pending.isEmpty()) {
        const HistoryItem queued = m_run->pending.takeFirst();
        // The capture path may have sent it meanwhile, or it was deleted.
        const auto current =
            std::find_if(h.items().cbegin(), h.items().cend(),
                         [&queued](const HistoryItem& item) { return item.id == queued.id; });
        if (current == h.items().cend() || current->isSynced) {
            continue;
        }
        // Marked as each goes up, written once at the end of the run: a
        // record sent again after a crash counts as present.
        saveItem(m_run->database, *current, false, [this](Expected<void, CloudError> saved) {
            if (!saved) {
                // What went up stays marked; the rest goes at the next run.
                endRun(unexpected(saved.error().message));
                return;
            }
            ++m_run->report.uploaded;
            uploadNext();
        });
        return;
    }
    fetchItems([this](Expected<QList<HistoryItem>, CloudError> fetched) {
        if (!fetched) {
            // Not a success: nothing was merged and the user should know.
            endRun(unexpected(fetched.error().message));
            return;
        }
        merge(*fetched);
        endRun(m_run->report);
    });
}

void CloudSyncService::uploadItem(const HistoryItem& item,
                                  std::function<void(Expected<void, CloudError>)> done)
{
    if (!done) {
        done = [](Expected<void, CloudError>) {};
    }
    if (!m_enabled || !m_available || !m_database) {
        done({});
        return;
    }
    saveItem(m_database, item, true, std::move(done));
}

void CloudSyncService::saveItem(const std::shared_ptr<CloudDatabase>& database,
                                const HistoryItem& item, bool saveNow,
                                std::function<void(Expected<void, CloudError>)> done)
{
    const CloudRecord record = CloudRecord::fromItem(item);
    QPointer<CloudSyncService> self(this);
    database->saveRecord(record, [self, record, item, database, saveNow,
                                  done = std::move(done)](CloudDatabase::Result<QString> saved) {
        if (!self) {
            return;
        }
        if (!saved && !saved.error().isAlreadyPresent()) {
            done(unexpected(saved.error()));
            return;
        }
        // A record of that name is there already: it is this capture.
        const QString name = saved ? *saved : record.recordName;
        self->m_index.record(name, item.timestamp);
        self->history().markAsSynced(item.id, name, saveNow);
        done({});
    });
}

void CloudSyncService::fetchItems(
    std::function<void(Expected<QList<HistoryItem>, CloudError>)> done)
{
    const HistoryService& h = history();
    auto known = std::make_shared<QSet<QString>>();
    for (const HistoryItem& item : h.items()) {
        if (item.cloudRecordID) {
            known->insert(*item.cloudRecordID);
        }
    }
    // A record seen before that the history would drop again at once (too
    // old, or older than a full history's oldest) is not fetched again.
    const QDateTime cutoff = h.retentionCutoff();
    const QDateTime oldestKept = h.items().size() >= h.itemLimit() && !h.items().isEmpty()
                                     ? h.items().constLast().timestamp
                                     : QDateTime();
    CloudQuery query;
    query.ascending = false;
    query.skipName = [this, known, cutoff, oldestKept](const QString& name) {
        if (known->contains(name)) {
            return true;
        }
        const auto seen = m_index.timestamp(name);
        return seen && ((cutoff.isValid() && *seen < cutoff) ||
                        (oldestKept.isValid() && *seen < oldestKept));
    };

    auto state = std::make_shared<FetchState>();
    state->query = std::move(query);
    state->known = std::move(known);
    state->done = std::move(done);
    fetchPages(state, CloudCursor());
}

void CloudSyncService::fetchPages(const std::shared_ptr<FetchState>& state,
                                  const CloudCursor& cursor)
{
    fetchBatch(state->query, cursor, [this, state](Expected<Page, CloudError> page) {
        if (!page) {
            state->done(unexpected(page.error()));
            return;
        }
        m_run->report.pageSizes.append(int(page->records.size()));
        m_run->report.unreadable += page->unreadable;
        state->records.append(page->records);
        if (page->next) {
            fetchPages(state, page->next);
            return;
        }
        QList<HistoryItem> items;
        for (const CloudRecord& record : std::as_const(state->records)) {
            if (state->known->contains(record.recordName)) {
                continue;
            }
            if (auto item = record.toItem()) {
                m_index.record(record.recordName, item->timestamp);
                items.append(std::move(*item));
            } else {
                ++m_run->report.unreadable; // a field missing or of the wrong type
            }
        }
        sortNewestFirst(items);
        state->done(std::move(items));
    });
}

void CloudSyncService::fetchBatch(const CloudQuery& query, const CloudCursor& cursor,
                                  std::function<void(Expected<Page, CloudError>)> done)
{
    auto page = std::make_shared<Page>();
    auto settled = std::make_shared<bool>(false);
    QPointer<CloudSyncService> self(this);
    m_run->database->fetchPage(
        query, cursor, pageSize,
        [page](CloudDatabase::Result<CloudRecord> record) {
            if (record) {
                page->records.append(std::move(*record));
            } else {
                ++page->unreadable; // skipped, as the algorithm says
            }
        },
        [self, page, settled, done = std::move(done)](CloudDatabase::Result<CloudCursor> result) {
            // Completes once, whatever the database does.
            if (!self || std::exchange(*settled, true)) {
                return;
            }
            if (!result) {
                done(unexpected(result.error()));
                return;
            }
            page->next = *result;
            done(std::move(*page));
        });
}

void CloudSyncService::merge(const QList<HistoryItem>& fetched)
{
    HistoryService& h = history();
    QList<HistoryItem> items = h.items();
    QSet<QUuid> ids;
    QSet<QString> names;
    for (const HistoryItem& item : std::as_const(items)) {
        ids.insert(item.id);
        if (item.cloudRecordID) {
            names.insert(*item.cloudRecordID);
        }
    }
    // Checked again here: the history may have changed during the fetch.
    QSet<QUuid> added;
    for (const HistoryItem& item : fetched) {
        if (ids.contains(item.id) || names.contains(*item.cloudRecordID)) {
            continue;
        }
        ids.insert(item.id);
        names.insert(*item.cloudRecordID);
        added.insert(item.id);
        items.append(item);
    }
    if (!added.isEmpty()) {
        // Each at its place in time, not all at the top.
        sortNewestFirst(items);
        h.setItems(std::move(items));
    }
    const qsizetype before = h.items().size();
    h.cleanupOldItems();
    // Written only when something changed: a quiet run writes nothing.
    m_run->merged = !added.isEmpty() || h.items().size() != before;
    for (const HistoryItem& item : h.items()) {
        m_run->report.downloaded += added.contains(item.id) ? 1 : 0;
    }
}

void CloudSyncService::endRun(const RunResult& result)
{
    const std::unique_ptr<Run> run = std::move(m_run);
    // What the run changed (records marked as sent, records added), in one
    // write, also when it failed half-way.
    if (run->report.uploaded > 0 || run->merged) {
        history().saveHistory();
    }
    m_index.save();
    if (result) {
        m_lastSyncDate = m_clock.now();
        m_preferences.setValue(PreferenceKeys::lastSyncDate,
                               m_lastSyncDate->toUTC().toString(Qt::ISODateWithMs));
        setStatus(SyncStatus::success());
        m_successTimer.start();
        emit lastSyncDateChanged();
    } else {
        setStatus(SyncStatus::error(result.error()));
    }
    for (const auto& done : run->callbacks) {
        done(result);
    }
    if (std::exchange(m_runRequested, false) && !m_run) {
        startRun(std::exchange(m_nextRunCallbacks, {}));
    }
}

void CloudSyncService::setStatus(const SyncStatus& status)
{
    if (status != m_status) {
        m_status = status;
        emit syncStatusChanged(status);
    }
}

QString CloudSyncService::lastSyncText() const
{
    std::optional<QDateTime> date = m_lastSyncDate;
    if (!date) {
        date = m_preferences.lastSyncDate();
    }
    if (!date) {
        return tr("Never");
    }
    return relativePhrase(*date, m_clock.now());
}

QString CloudSyncService::relativePhrase(const QDateTime& date, const QDateTime& now)
{
    const qint64 seconds = date.secsTo(now);
    const qint64 span = std::abs(seconds);
    struct Unit
    {
        qint64 seconds;
        const char* one;
        const char* many;
        const char* inOne;
        const char* inMany;
    };
    static const Unit units[] = {
        {365 * 86400, QT_TR_NOOP("1 year ago"), QT_TR_NOOP("%1 years ago"), QT_TR_NOOP("in 1 year"),
         QT_TR_NOOP("in %1 years")},
        {30 * 86400, QT_TR_NOOP("1 month ago"), QT_TR_NOOP("%1 months ago"),
         QT_TR_NOOP("in 1 month"), QT_TR_NOOP("in %1 months")},
        {7 * 86400, QT_TR_NOOP("1 week ago"), QT_TR_NOOP("%1 weeks ago"), QT_TR_NOOP("in 1 week"),
         QT_TR_NOOP("in %1 weeks")},
        {86400, QT_TR_NOOP("1 day ago"), QT_TR_NOOP("%1 days ago"), QT_TR_NOOP("in 1 day"),
         QT_TR_NOOP("in %1 days")},
        {3600, QT_TR_NOOP("1 hour ago"), QT_TR_NOOP("%1 hours ago"), QT_TR_NOOP("in 1 hour"),
         QT_TR_NOOP("in %1 hours")},
        {60, QT_TR_NOOP("1 minute ago"), QT_TR_NOOP("%1 minutes ago"), QT_TR_NOOP("in 1 minute"),
         QT_TR_NOOP("in %1 minutes")},
        {1, QT_TR_NOOP("1 second ago"), QT_TR_NOOP("%1 seconds ago"), QT_TR_NOOP("in 1 second"),
         QT_TR_NOOP("in %1 seconds")},
    };
    for (const Unit& unit : units) {
        if (span >= unit.seconds) {
            const qint64 n = span / unit.seconds;
            const bool past = seconds > 0;
            if (n == 1) {
                return tr(past ? unit.one : unit.inOne);
            }
            return tr(past ? unit.many : unit.inMany).arg(n);
        }
    }
    return tr("just now");
}
