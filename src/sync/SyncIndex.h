#pragma once

#include <QDateTime>
#include <QHash>
#include <QLatin1StringView>
#include <QString>

#include <optional>

// The records this machine has seen in the sync database, by name, with
// their capture times. The history forgets records past its age and count
// limits while the database keeps them; with their times at hand a run can
// tell, without downloading them again, that merging them would only see
// them dropped. Records that are not in the history and not here are always
// fetched, so a record deleted locally still comes back. Holds no text.
class SyncIndex
{
public:
    static constexpr QLatin1StringView fileName{"syncIndex.json"};

    // path: the index file; read on first use.
    explicit SyncIndex(QString path);

    std::optional<QDateTime> timestamp(const QString& recordName) const;
    void record(const QString& recordName, const QDateTime& timestamp);
    // Writes the file when something changed.
    void save();

private:
    void load() const;

    QString m_path;
    mutable bool m_loaded = false;
    mutable QHash<QString, double> m_times;
    bool m_dirty = false;
};
