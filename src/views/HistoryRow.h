#pragma once

#include <QPersistentModelIndex>
#include <QStyledItemDelegate>

class Clock;
class HistoryItem;

// Draws one capture of the history list: the origin symbol (sync arrows for
// a synced capture, a computer otherwise), the preview, and a line with the word
// count, the age and, for synced captures, the device it came from. The row
// under the pointer is highlighted and shows a Copy and a Delete button.
//
// Painting only: HistoryView tracks the pointer, tells the row what is hovered
// and turns clicks into actions with hitTest().
class HistoryRow : public QStyledItemDelegate
{
    Q_OBJECT
public:
    enum class Part { None, Body, CopyButton, DeleteButton };

    explicit HistoryRow(const Clock& clock, QObject* parent = nullptr);

    // The hovered row (invalid for none) and the part of it under the pointer.
    void setHover(const QModelIndex& index, Part part);
    QModelIndex hoveredIndex() const { return m_hovered; }
    Part hoveredPart() const { return m_hoveredPart; }

    // Which part of a row laid out in rowRect lies under pos.
    static Part hitTest(const QRect& rowRect, const QPoint& pos);
    static QRect buttonRect(const QRect& rowRect, Part button);
    static QString toolTip(Part part);

    // The labels of the small line under the preview, in order.
    static QStringList detailTexts(const QModelIndex& index, const QDateTime& now);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

private:
    const Clock& m_clock;
    QPersistentModelIndex m_hovered;
    Part m_hoveredPart = Part::None;
};
