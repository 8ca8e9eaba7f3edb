#pragma once

#include "history/HistoryItem.h"

#include <QAbstractListModel>

// The captures the history list shows: the history sorted newest first and
// filtered by the search text. A snapshot; HistoryView refills it whenever the
// history or the search changes.
class HistoryListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role {
        IdRole = Qt::UserRole + 1,
        TextRole,
        PreviewRole,
        WordCountRole,
        TimestampRole,
        DeviceNameRole,
        IsSyncedRole,
    };

    static constexpr qsizetype previewLength = 50;

    using QAbstractListModel::QAbstractListModel;

    // items sorted by timestamp, newest first (stable: equal instants keep
    // their stored order), then, for a non-empty search, only those whose
    // text contains it, ignoring case. Nothing but the text is searched.
    static QList<HistoryItem> filtered(const QList<HistoryItem>& items, const QString& search);

    void setItems(QList<HistoryItem> items);
    const QList<HistoryItem>& items() const { return m_items; }
    const HistoryItem* itemAt(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    QList<HistoryItem> m_items;
};
