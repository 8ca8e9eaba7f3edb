#include "history/HistoryImport.h"

#include "history/HistoryService.h"

#include <QSet>

#include <algorithm>

namespace HistoryImport {

Outcome merge(HistoryService& history, const QList<HistoryItem>& records)
{
    Outcome outcome;
    QList<HistoryItem> items = history.items();
    QSet<QUuid> ids;
    for (const HistoryItem& item : std::as_const(items)) {
        ids.insert(item.id);
    }
    QSet<QUuid> added;
    for (HistoryItem record : records) {
        if (ids.contains(record.id)) {
            ++outcome.alreadyPresent;
            continue;
        }
        ids.insert(record.id);
        added.insert(record.id);
        record.isSynced = false;
        items.append(std::move(record));
    }
    if (!added.isEmpty()) {
        std::stable_sort(
            items.begin(), items.end(),
            [](const HistoryItem& a, const HistoryItem& b) { return a.timestamp > b.timestamp; });
        history.setItems(std::move(items));
        history.cleanupOldItems();
        for (const HistoryItem& item : history.items()) {
            outcome.added += added.contains(item.id) ? 1 : 0;
        }
        outcome.dropped = added.size() - outcome.added;
        history.saveHistory();
    }
    return outcome;
}

} // namespace HistoryImport
