#pragma once

#include "history/HistoryItem.h"
#include "views/HistoryDetailView.h"

#include <QWidget>

#include <functional>
#include <optional>

class Clipboard;
class Clock;
class HistoryListModel;
class HistoryRow;
class HistoryService;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QStackedWidget;
class StatLabel;

// What the history view asks of the application.
struct HistoryViewHooks
{
    // Shows a warning alert with the buttons "Clear" (the default) and
    // "Cancel" and calls done(true) for "Clear". The application routes it to
    // its alert presenter; left empty, a window-modal QMessageBox is shown.
    std::function<void(const QString& title, const QString& message,
                       std::function<void(bool confirmed)> done)>
        confirm;
    HistoryShareHooks share;
};

// The content of the "Capture History" window: a header with the search field,
// the number of captures, the storage size and "Clear All"; the captures
// newest first, filtered as the user types; and a sheet with one capture in
// full. Follows the history service live: whatever changes the history (a new
// capture, a sync) shows at once.
//
// The view keeps only the search text, the capture in the sheet and the
// hovered row; everything else lives in the service.
//
// Keyboard: the search field has the focus on opening; in the list Return
// opens a capture, Ctrl+C copies it and Delete deletes it (also in its
// context menu); Escape closes the sheet, then clears the search, then the
// window.
class HistoryView : public QWidget
{
    Q_OBJECT
public:
    HistoryView(HistoryService& history, Clipboard& clipboard, HistoryViewHooks hooks,
                const Clock& clock, QWidget* parent = nullptr);
    HistoryView(HistoryService& history, Clipboard& clipboard, HistoryViewHooks hooks = {},
                QWidget* parent = nullptr);
    ~HistoryView() override;

    static QString clearAllMessage(qsizetype count);

    QString searchText() const;
    void setSearchText(const QString& text);
    // The capture shown in the sheet, if one is open.
    std::optional<HistoryItem> selectedItem() const;
    void showDetail(const HistoryItem& item);
    void dismissDetail();
    // Back to the state of a freshly opened window: empty search, no sheet.
    void resetState();

    // Row actions: copy replaces the clipboard (no toast), delete removes every
    // capture with that id and saves, without asking.
    void copyItem(const QUuid& id);
    void deleteItem(const QUuid& id);
    // "Clear All": asks first, then empties and saves the history.
    void requestClearAll();

    // Where the sync controls go: an empty row under the list, shown with its
    // divider once a widget is added to it.
    QWidget* footer() const { return m_footer; }

    QLineEdit* searchField() const { return m_search; }
    QListView* listView() const { return m_list; }
    HistoryListModel* listModel() const { return m_model; }
    HistoryRow* rowDelegate() const { return m_row; }
    StatLabel* itemCountLabel() const { return m_count; }
    StatLabel* sizeLabel() const { return m_size; }
    QPushButton* clearAllButton() const { return m_clearAll; }
    // The empty-state text, when the list is empty; null otherwise.
    QLabel* visibleEmptyState() const;
    HistoryDetailView* detailView() const { return m_detail; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void refresh();
    void updateHover(const QPoint& viewportPos);
    void updateHoverFromCursor();
    void activate(const QModelIndex& index, const QPoint& viewportPos);
    void layoutSheet();
    void addRowActions();

    HistoryService& m_history;
    Clipboard& m_clipboard;
    HistoryViewHooks m_hooks;
    const Clock& m_clock;

    QWidget* m_content = nullptr;
    QLineEdit* m_search = nullptr;
    StatLabel* m_count = nullptr;
    StatLabel* m_size = nullptr;
    QPushButton* m_clearAll = nullptr;
    QStackedWidget* m_stack = nullptr;
    QWidget* m_empty = nullptr;
    QLabel* m_emptyText = nullptr;
    QListView* m_list = nullptr;
    HistoryListModel* m_model = nullptr;
    HistoryRow* m_row = nullptr;
    QWidget* m_footerArea = nullptr;
    QWidget* m_footer = nullptr;
    QWidget* m_scrim = nullptr;
    HistoryDetailView* m_detail = nullptr;
};
