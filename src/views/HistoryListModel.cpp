#include "views/HistoryListModel.h"

#include "common/Graphemes.h"

#include <algorithm>

QList<HistoryItem> HistoryListModel::filtered(const QList<HistoryItem>& items,
                                              const QString& search)
{
    QList<HistoryItem> result;
    result.reserve(items.size());
    for (const HistoryItem& item : items) {
        if (search.isEmpty() || item.text.contains(search, Qt::CaseInsensitive)) {
            result.append(item);
        }
    }
    std::stable_sort(result.begin(), result.end(), [](const HistoryItem& a, const HistoryItem& b) {
        return a.timestamp > b.timestamp;
    });
    return result;
}

void HistoryListModel::setItems(QList<HistoryItem> items)
{
    beginResetModel();
    m_items = std::move(items);
    endResetModel();
}

const HistoryItem* HistoryListModel::itemAt(int row) const
{
    return row >= 0 && row < m_items.size() ? &m_items.at(row) : nullptr;
}

int HistoryListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_items.size());
}

QVariant HistoryListModel::data(const QModelIndex& index, int role) const
{
    const HistoryItem* item = itemAt(index.row());
    if (!item || index.parent().isValid()) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
    case PreviewRole:
        return Graphemes::preview(item->text, previewLength);
    case Qt::ToolTipRole:
        return {};
    case Qt::AccessibleDescriptionRole: {
        // What the row's symbols and small labels tell the eye.
        const QString words = tr("%1 words").arg(item->wordCount);
        return item->isSynced ? tr("%1, synced from %2").arg(words, item->deviceName) : words;
    }
    case IdRole:
        return item->id;
    case TextRole:
        return item->text;
    case WordCountRole:
        return item->wordCount;
    case TimestampRole:
        return item->timestamp;
    case DeviceNameRole:
        return item->deviceName;
    case IsSyncedRole:
        return item->isSynced;
    default:
        return {};
    }
}
