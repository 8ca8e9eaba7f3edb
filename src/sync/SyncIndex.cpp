#include "sync/SyncIndex.h"

#include "common/AtomicFile.h"
#include "history/HistoryItem.h"
#include "sync/CloudRecord.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

SyncIndex::SyncIndex(QString path) : m_path(std::move(path)) {}

void SyncIndex::load() const
{
    if (m_loaded) {
        return;
    }
    m_loaded = true;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        return;
    }
    // A damaged index costs downloads, nothing else: start afresh.
    const QJsonObject object = QJsonDocument::fromJson(file.readAll()).object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (it->isDouble() && CloudRecord::isValidName(it.key())) {
            m_times.insert(it.key(), it->toDouble());
        }
    }
}

std::optional<QDateTime> SyncIndex::timestamp(const QString& recordName) const
{
    load();
    const auto it = m_times.constFind(recordName);
    if (it == m_times.constEnd()) {
        return std::nullopt;
    }
    return HistoryItem::fromReferenceSeconds(*it);
}

void SyncIndex::record(const QString& recordName, const QDateTime& timestamp)
{
    load();
    const double seconds = HistoryItem::toReferenceSeconds(timestamp);
    const auto it = m_times.constFind(recordName);
    if (it == m_times.constEnd() || *it != seconds) {
        m_times.insert(recordName, seconds);
        m_dirty = true;
    }
}

void SyncIndex::save()
{
    if (!m_dirty) {
        return;
    }
    QJsonObject object;
    for (auto it = m_times.constBegin(); it != m_times.constEnd(); ++it) {
        object.insert(it.key(), *it);
    }
    m_dirty =
        !AtomicFile::writePrivate(m_path, QJsonDocument(object).toJson(QJsonDocument::Compact))
             .hasValue();
}
