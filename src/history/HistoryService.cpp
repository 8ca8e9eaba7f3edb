#include "history/HistoryService.h"

#include "common/AppPaths.h"
#include "common/AtomicFile.h"
#include "common/Clock.h"
#include "history/EncryptionService.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

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
    loadHistory();
    cleanupOldItems();
}

HistoryService::~HistoryService() = default;

HistoryService& HistoryService::shared()
{
    static HistoryService service(AppPaths::dataDir(), EncryptionService::shared(),
                                  Clock::system());
    return service;
}

void HistoryService::setItems(QList<HistoryItem> items)
{
    m_items = std::move(items);
    emit itemsChanged();
}

void HistoryService::insert(qsizetype index, const HistoryItem& item)
{
    m_items.insert(std::clamp<qsizetype>(index, 0, m_items.size()), item);
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

std::optional<QList<HistoryItem>> HistoryService::decryptList(const QByteArray& block)
{
    auto plaintext = m_encryption.decrypt(block);
    if (!plaintext) {
        return std::nullopt;
    }
    return HistoryItem::decodeListJson(*plaintext);
}

void HistoryService::loadHistory()
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
                // The next save replaces this entry; keep what it holds.
                keepAside(storageKey, *data);
            }
        }
    }
    const bool merged = mergeKeptAside(loaded);
    sortNewestFirst(loaded);
    setItems(std::move(loaded));
    // A plain list is migrated to the encrypted form at once; merged blocks
    // are written back so that their kept-aside copies can go.
    if (fromPlain || merged) {
        saveHistory();
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
    return AtomicFile::writePrivate(path, data);
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

void HistoryService::saveHistory()
{
    const auto json = HistoryItem::encodeListJson(m_items);
    if (!json) {
        return;
    }
    // An unreadable encrypted entry is overwritten or retired only once a
    // copy of it is safe; until then the list goes to the plain entry, which
    // the next load reads when the encrypted one still fails.
    const bool mayReplaceEncrypted = protectUnreadableEntry();
    if (mayReplaceEncrypted) {
        const auto block = m_encryption.encrypt(*json);
        if (block && AtomicFile::writePrivate(storagePath(encryptedStorageKey), *block)) {
            removeFile(storagePath(storageKey));
            m_encryptedUnreadable = false;
            for (const QString& path : std::as_const(m_mergedAsidePaths)) {
                QFile::remove(path);
            }
            m_mergedAsidePaths.clear();
            return;
        }
    }
    if (!AtomicFile::writePrivate(storagePath(storageKey), *json)) {
        return;
    }
    // The plain entry now holds the newest list. An encrypted entry left beside
    // it would win at the next load (say, once the keyring is unlocked again)
    // and hide every capture since, so retire it: it holds either a list this
    // one supersedes or an unreadable block that is already kept aside.
    if (mayReplaceEncrypted && removeFile(storagePath(encryptedStorageKey))) {
        m_encryptedUnreadable = false;
    }
}

void HistoryService::cleanupOldItems()
{
    const QDateTime now = m_clock.now();
    // Calendar days in local time: across a daylight-saving change the step is
    // not 30 times 24 hours.
    QDateTime cutoff = now.toLocalTime().addDays(-retentionDays);
    if (!cutoff.isValid()) {
        cutoff = now;
    }
    qsizetype removed =
        m_items.removeIf([&cutoff](const HistoryItem& item) { return item.timestamp < cutoff; });
    if (m_items.size() > maxItems) {
        removed += m_items.size() - maxItems;
        m_items.resize(maxItems);
    }
    if (removed > 0) {
        emit itemsChanged();
    }
}

void HistoryService::markAsSynced(const QUuid& id, const QString& recordName)
{
    const auto it = std::find_if(m_items.begin(), m_items.end(),
                                 [&id](const HistoryItem& item) { return item.id == id; });
    if (it == m_items.end()) {
        return;
    }
    it->isSynced = true;
    it->cloudRecordID = recordName;
    emit itemsChanged();
    saveHistory();
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
