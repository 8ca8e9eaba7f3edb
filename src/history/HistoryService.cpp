#include "history/HistoryService.h"

#include "common/AtomicFile.h"
#include "common/BoundedCall.h"
#include "common/Clock.h"
#include "history/EncryptionService.h"
#include "history/HistoryLimits.h"
#include "history/SecretStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>

#include <algorithm>
#include <cmath>

namespace {

const QLatin1StringView asideInfix{".unreadable-"};

void sortNewestFirst(QList<HistoryItem>& items)
{
    std::stable_sort(items.begin(), items.end(), [](const HistoryItem& a, const HistoryItem& b) {
        return a.timestamp > b.timestamp;
    });
}

std::optional<QByteArray> readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return file.readAll();
}

bool removeFile(const QString& path)
{
    return !QFileInfo::exists(path) || QFile::remove(path);
}

} // namespace

HistoryService::HistoryService(QString dataDir, EncryptionService& encryption, Clock& clock,
                               QObject* parent)
    : QObject(parent), m_dataDir(std::move(dataDir)), m_encryption(encryption), m_clock(clock)
{
    m_retryTimer.setSingleShot(true);
    m_retryTimer.setInterval(retryInterval);
    connect(&m_retryTimer, &QTimer::timeout, this, &HistoryService::retryKey);
    m_lockTimer.setSingleShot(true);
    m_lockTimer.setInterval(lockRetryInterval);
    connect(&m_lockTimer, &QTimer::timeout, this, &HistoryService::loadHistory);
    loadHistory();
}

HistoryService::~HistoryService() = default;

void HistoryService::setItems(QList<HistoryItem> items)
{
    m_items = std::move(items);
    emit itemsChanged();
}

void HistoryService::insert(qsizetype index, const HistoryItem& item)
{
    m_items.insert(std::clamp<qsizetype>(index, 0, m_items.size()), item);
    m_unsaved.insert(item.id);
    emit itemsChanged();
}

qsizetype HistoryService::remove(const QUuid& id)
{
    const qsizetype removed =
        m_items.removeIf([&id](const HistoryItem& item) { return item.id == id; });
    if (removed > 0) {
        emit itemsChanged();
    }
    return removed;
}

void HistoryService::setStorage(Storage storage)
{
    if (m_storage != storage) {
        m_storage = storage;
        emit storageChanged(storage);
    }
}

std::optional<QList<HistoryItem>> HistoryService::decryptList(const QByteArray& block) const
{
    auto plaintext = m_encryption.decrypt(block);
    if (!plaintext) {
        return std::nullopt;
    }
    return HistoryItem::decodeListJson(*plaintext);
}

bool HistoryService::acquireLock()
{
    if (m_lock && m_lock->isLocked()) {
        return true;
    }
    if (!m_lock) {
        if (!AtomicFile::ensurePrivateDir(m_dataDir)) {
            return false;
        }
        m_lock = std::make_unique<QLockFile>(storagePath(lockFileName));
        // Held for the life of the process, so never stale by age; a lock
        // left by a process that has ended is taken over.
        m_lock->setStaleLockTime(0);
    }
    return m_lock->tryLock(0);
}

void HistoryService::whenLoaded(QObject* context, std::chrono::milliseconds limit,
                                std::function<void(bool loaded)> done)
{
    if (m_loaded) {
        done(true);
        return;
    }
    // Answers once: the first of "loading ended" and the time limit.
    auto waiter = new QObject(context);
    const auto finish = [waiter, done = std::move(done)](bool loaded) {
        delete waiter;
        done(loaded);
    };
    connect(this, &HistoryService::storageChanged, waiter, [this, finish](Storage storage) {
        if (storage != Storage::loading) {
            finish(m_loaded);
        }
    });
    QTimer::singleShot(limit, waiter, [finish] { finish(false); });
}

std::optional<qint64> HistoryService::lockHolder() const
{
    qint64 pid = 0;
    QString host;
    QString application;
    if (!m_lock || m_lock->isLocked() || !m_lock->getLockInfo(&pid, &host, &application)) {
        return std::nullopt;
    }
    return pid;
}

void HistoryService::loadHistory()
{
    m_loaded = false;
    // Another process may be writing the history: read it only once the
    // lock is ours.
    if (!acquireLock()) {
        setStorage(Storage::loading);
        m_lockTimer.start();
        return;
    }
    // Only an encrypted entry needs the key to be read; without one the list
    // is there at once (a plain entry is re-written once the key is at hand).
    if (QFileInfo::exists(storagePath(encryptedStorageKey)) && !m_encryption.hasKey()) {
        setStorage(Storage::loading);
        requestKey();
        return;
    }
    finishLoad();
}

void HistoryService::finishLoad()
{
    m_encryptedUnreadable = false;
    m_encryptedKeptAside = false;
    m_mergedAsidePaths.clear();

    QList<HistoryItem> loaded;
    bool fromEncrypted = false;
    bool fromPlain = false;
    if (const auto block = readFile(storagePath(encryptedStorageKey))) {
        if (auto list = decryptList(*block)) {
            loaded = std::move(*list);
            fromEncrypted = true;
        } else {
            m_encryptedUnreadable = true;
            m_encryptedKeptAside = keepAside(encryptedStorageKey, *block);
        }
    }
    if (!fromEncrypted) {
        if (const auto data = readFile(storagePath(storageKey))) {
            if (auto list = HistoryItem::decodeListJson(*data)) {
                loaded = std::move(*list);
                fromPlain = true;
            } else {
                // The next save removes this entry; keep what it holds.
                keepAside(storageKey, *data);
            }
        }
    }
    const bool merged = m_encryption.hasKey() && mergeKeptAside(loaded);
    // Records made while the stored list could not be read come first; a
    // stored record with the same id is the older copy.
    QSet<QUuid> present;
    for (const HistoryItem& item : std::as_const(m_items)) {
        present.insert(item.id);
    }
    QList<HistoryItem> all = m_items;
    for (HistoryItem& item : loaded) {
        if (!present.contains(item.id)) {
            all.append(std::move(item));
        }
    }
    sortNewestFirst(all);
    m_loaded = true;
    m_items = std::move(all);
    cleanupOldItems();
    emit itemsChanged();
    // A plain list is migrated to the encrypted form; merged blocks are
    // written back so that their kept-aside copies can go.
    if (fromPlain || merged || m_dirty) {
        saveHistory();
    } else {
        setStorage(Storage::saved);
    }
}

void HistoryService::requestKey()
{
    if (m_keyRequested) {
        // The request under way may have started before the keyring was
        // unlocked: ask once more if it fails.
        m_askAgain = true;
        return;
    }
    m_askAgain = false;
    m_keyRequested = true;
    QPointer<HistoryService> self(this);
    m_encryption.requestKey([self](EncryptionService::KeyResult result) {
        if (!self) {
            return;
        }
        self->m_keyRequested = false;
        if (!result) {
            self->setStorage(Storage::waitingForKey);
            if (std::exchange(self->m_askAgain, false)) {
                self->requestKey();
            } else {
                self->m_retryTimer.start();
            }
            return;
        }
        self->m_retryTimer.stop();
        if (!self->m_loaded) {
            self->loadHistory();
        } else if (self->m_dirty) {
            self->writeNow();
        }
    });
}

void HistoryService::retryKey()
{
    if (!m_loaded || m_dirty) {
        requestKey();
    }
}

void HistoryService::saveHistory()
{
    m_dirty = true;
    if (!m_loaded || !m_encryption.hasKey()) {
        // Written once the key is at hand and the stored list is merged in.
        requestKey();
        return;
    }
    writeNow();
}

void HistoryService::writeNow()
{
    const auto json = HistoryItem::encodeListJson(m_items);
    if (!json) {
        return;
    }
    // An unreadable encrypted entry is replaced only once a copy of it is
    // safe.
    const auto block = m_encryption.encrypt(*json);
    if (!protectUnreadableEntry() || !block ||
        !AtomicFile::writePrivate(storagePath(encryptedStorageKey), *block).hasValue()) {
        setStorage(Storage::writeFailed);
        return;
    }
    m_encryptedUnreadable = false;
    removeFile(storagePath(storageKey));
    for (const QString& path : std::as_const(m_mergedAsidePaths)) {
        QFile::remove(path);
    }
    m_mergedAsidePaths.clear();
    m_dirty = false;
    m_unsaved.clear();
    setStorage(Storage::saved);
}

QDateTime HistoryService::retentionCutoff() const
{
    const int days =
        m_limits ? std::clamp(m_limits->retentionDays(), 0, retentionDays * 1000) : retentionDays;
    if (days <= 0) {
        return {};
    }
    const QDateTime now = m_clock.now();
    // Calendar days in local time: across a daylight-saving change the step
    // is not a multiple of 24 hours.
    const QDateTime cutoff = now.toLocalTime().addDays(-days);
    return cutoff.isValid() ? cutoff : now;
}

qsizetype HistoryService::itemLimit() const
{
    return m_limits ? std::clamp<qsizetype>(m_limits->maxItems(), 0, maxItems) : maxItems;
}

void HistoryService::cleanupOldItems()
{
    const qsizetype count = itemLimit();
    qsizetype removed = 0;
    if (const QDateTime cutoff = retentionCutoff(); cutoff.isValid()) {
        removed = m_items.removeIf(
            [&cutoff](const HistoryItem& item) { return item.timestamp < cutoff; });
    }
    if (m_items.size() > count) {
        removed += m_items.size() - count;
        m_items.resize(count);
    }
    if (removed > 0) {
        emit itemsChanged();
    }
}

bool HistoryService::mergeKeptAside(QList<HistoryItem>& items)
{
    const QStringList paths = keptAsidePaths(encryptedStorageKey);
    if (paths.isEmpty()) {
        return false;
    }
    QSet<QUuid> known;
    for (const HistoryItem& item : items) {
        known.insert(item.id);
    }
    for (const QString& path : paths) {
        const auto block = readFile(path);
        if (!block) {
            continue;
        }
        auto list = decryptList(*block);
        if (!list) {
            continue;
        }
        for (HistoryItem& item : *list) {
            if (!known.contains(item.id)) {
                known.insert(item.id);
                items.append(std::move(item));
            }
        }
        m_mergedAsidePaths.append(path);
    }
    return !m_mergedAsidePaths.isEmpty();
}

QString HistoryService::storagePath(QLatin1StringView key) const
{
    return m_dataDir + QLatin1Char('/') + key;
}

QStringList HistoryService::keptAsidePaths(QLatin1StringView key) const
{
    const QDir dir(m_dataDir);
    const QStringList names = dir.entryList({QString(key) + asideInfix + QLatin1Char('*')},
                                            QDir::Files | QDir::Hidden, QDir::Name);
    QStringList paths;
    for (const QString& name : names) {
        paths.append(dir.filePath(name));
    }
    return paths;
}

bool HistoryService::keepAside(QLatin1StringView key, const QByteArray& data)
{
    for (const QString& path : keptAsidePaths(key)) {
        if (readFile(path) == data) {
            return true;
        }
    }
    const QString stamp = m_clock.now().toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    const QString base = storagePath(key) + asideInfix + stamp;
    QString path = base;
    for (int n = 2; QFileInfo::exists(path); ++n) {
        path = base + QLatin1Char('-') + QString::number(n);
    }
    return AtomicFile::writePrivate(path, data).hasValue();
}

bool HistoryService::protectUnreadableEntry()
{
    if (!m_encryptedUnreadable || m_encryptedKeptAside) {
        return true;
    }
    const auto block = readFile(storagePath(encryptedStorageKey));
    m_encryptedKeptAside = !block || keepAside(encryptedStorageKey, *block);
    return m_encryptedKeptAside;
}

void HistoryService::markAsSynced(const QUuid& id, const QString& recordName, bool saveNow)
{
    const auto it = std::find_if(m_items.begin(), m_items.end(),
                                 [&id](const HistoryItem& item) { return item.id == id; });
    if (it == m_items.end()) {
        return;
    }
    it->isSynced = true;
    it->cloudRecordID = recordName;
    emit itemsChanged();
    if (saveNow) {
        saveHistory();
    } else {
        m_dirty = true;
    }
}

QList<HistoryItem> HistoryService::unsyncedItems() const
{
    QList<HistoryItem> result;
    for (const HistoryItem& item : m_items) {
        if (!item.isSynced) {
            result.append(item);
        }
    }
    return result;
}

QString HistoryService::formattedStorageSize() const
{
    qint64 bytes = 0;
    for (const HistoryItem& item : m_items) {
        bytes += item.text.toUtf8().size();
    }
    return formatByteCount(bytes);
}

QString HistoryService::formatByteCount(qint64 bytes)
{
    if (bytes == 1) {
        return QStringLiteral("1 byte");
    }
    if (bytes < 1000) {
        return QStringLiteral("%1 bytes").arg(bytes);
    }
    static const char* const units[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    double value = double(bytes);
    std::size_t unit = 0;
    value /= 1000.0;
    for (;;) {
        // Round first, so that 999,999 bytes read "1 MB", not "1000 KB".
        const double shown = value < 100.0 ? std::round(value * 10.0) / 10.0 : std::round(value);
        if (shown < 1000.0 || unit + 1 == std::size(units)) {
            const bool whole = shown >= 100.0 || shown == std::floor(shown);
            return QString::number(shown, 'f', whole ? 0 : 1) + QLatin1Char(' ') +
                   QLatin1String(units[unit]);
        }
        value /= 1000.0;
        ++unit;
    }
}

Expected<QList<HistoryItem>, HistoryService::ReadError>
HistoryService::readStored(const QString& dataDir, std::shared_ptr<SecretStore> store,
                           std::chrono::milliseconds keyTimeLimit)
{
    using Kind = ReadError::Kind;
    const QString encryptedPath = dataDir + QLatin1Char('/') + encryptedStorageKey;
    const QString plainPath = dataDir + QLatin1Char('/') + storageKey;
    QList<HistoryItem> items;
    if (QFileInfo::exists(encryptedPath)) {
        const auto block = readFile(encryptedPath);
        if (!block) {
            return unexpected(ReadError{Kind::unreadable, encryptedPath});
        }
        const QString name = store->displayName();
        // The thread keeps the store alive if the call outlasts the limit.
        const auto lookup = BoundedCall::wait<SecretStore::Lookup>(keyTimeLimit, [store] {
            return store->read(QString(EncryptionService::keychainService),
                               QString(EncryptionService::keychainAccount));
        });
        if (!lookup || lookup->status == SecretStore::Status::Unavailable) {
            return unexpected(ReadError{Kind::keyUnavailable, name});
        }
        if (lookup->status == SecretStore::Status::NotFound) {
            return unexpected(ReadError{Kind::keyMissing, name});
        }
        const auto plaintext = EncryptionService::open(lookup->secret, *block);
        if (!plaintext) {
            return unexpected(ReadError{Kind::cannotDecrypt, name});
        }
        auto list = HistoryItem::decodeListJson(*plaintext);
        if (!list) {
            return unexpected(ReadError{Kind::damaged, encryptedPath});
        }
        items = std::move(*list);
    } else if (QFileInfo::exists(plainPath)) {
        const auto data = readFile(plainPath);
        if (!data) {
            return unexpected(ReadError{Kind::unreadable, plainPath});
        }
        auto list = HistoryItem::decodeListJson(*data);
        if (!list) {
            return unexpected(ReadError{Kind::damaged, plainPath});
        }
        items = std::move(*list);
    }
    sortNewestFirst(items);
    return items;
}
