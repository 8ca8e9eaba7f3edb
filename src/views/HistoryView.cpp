#include "views/HistoryView.h"

#include "common/Clock.h"
#include "feedback/ClipboardManager.h"
#include "history/HistoryService.h"
#include "views/HistoryListModel.h"
#include "views/HistoryRow.h"
#include "views/MessageDialog.h"
#include "views/StatLabel.h"
#include "views/SymbolIcon.h"
#include "views/ViewStyle.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int kMargin = 16;
constexpr int kRowGap = 8;
// Relative ages are redrawn this often while the window is open.
constexpr int kAgeRefreshMs = 30'000;

// Dims the view under the detail sheet and keeps the pointer off it.
class SheetScrim : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(0, 0, 0, 70)); }
};

void defaultConfirm(QWidget* parent, const QString& title, const QString& message,
                    std::function<void(bool)> done)
{
    auto* box = new MessageDialog(QStyle::SP_MessageBoxWarning, title, message, parent);
    box->addButton(HistoryView::tr("Clear"), QDialogButtonBox::AcceptRole)->setDefault(true);
    box->addButton(HistoryView::tr("Cancel"), QDialogButtonBox::RejectRole);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    QObject::connect(box, &QDialog::finished, box,
                     [done = std::move(done)](int result) { done(result == QDialog::Accepted); });
    box->open();
}

} // namespace

HistoryView::HistoryView(HistoryService& history, Clipboard& clipboard, HistoryViewHooks hooks,
                         QWidget* parent)
    : HistoryView(history, clipboard, std::move(hooks), Clock::system(), parent)
{
}

HistoryView::HistoryView(HistoryService& history, Clipboard& clipboard, HistoryViewHooks hooks,
                         const Clock& clock, QWidget* parent)
    : QWidget(parent), m_history(history), m_clipboard(clipboard), m_hooks(std::move(hooks)),
      m_clock(clock)
{
    if (!m_hooks.confirm) {
        m_hooks.confirm = [this](const QString& title, const QString& message,
                                 std::function<void(bool)> done) {
            defaultConfirm(window(), title, message, std::move(done));
        };
    }

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    m_content = new QWidget(this);
    outer->addWidget(m_content);
    auto* layout = new QVBoxLayout(m_content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // Header: title, search, counts and "Clear All".
    auto* header = new QVBoxLayout;
    header->setContentsMargins(kMargin, kMargin - 2, kMargin, 12);
    header->setSpacing(10);
    header->addWidget(
        ViewStyle::makeLabel(tr("Capture History"), ViewStyle::font(14, QFont::Bold), m_content));

    m_search = new QLineEdit(m_content);
    m_search->setPlaceholderText(tr("Search history..."));
    m_search->setAccessibleName(tr("Search history"));
    m_search->setFont(ViewStyle::font(13));
    // The field's icons are buttons to assistive technology: they need names.
    m_search
        ->addAction(QIcon(SymbolIcon::pixmap(u"search", 14, ViewStyle::secondaryText(palette()),
                                             devicePixelRatioF())),
                    QLineEdit::LeadingPosition)
        ->setText(tr("Search"));
    QAction* clear = m_search->addAction(
        style()->standardIcon(QStyle::SP_LineEditClearButton, nullptr, m_search),
        QLineEdit::TrailingPosition);
    clear->setText(tr("Clear search"));
    clear->setVisible(false);
    connect(clear, &QAction::triggered, m_search, &QLineEdit::clear);
    connect(m_search, &QLineEdit::textChanged, clear,
            [clear](const QString& text) { clear->setVisible(!text.isEmpty()); });
    m_search->setStyleSheet(
        QStringLiteral("QLineEdit { border: 1px solid palette(mid); border-radius: 7px;"
                       " padding: 4px 6px; background: palette(base); }"
                       "QLineEdit:focus { border: 1px solid palette(highlight); }"));
    header->addWidget(m_search);

    auto* stats = new QHBoxLayout;
    stats->setSpacing(18);
    m_count =
        new StatLabel(QStringLiteral("document"), QStringLiteral("0"), tr("items"), m_content);
    m_size = new StatLabel(QStringLiteral("text-size"), QString(), tr("size"), m_content);
    m_clearAll = new QPushButton(tr("Clear All"), m_content);
    m_clearAll->setFont(ViewStyle::font(12));
    m_clearAll->setAutoDefault(true); // Return presses it when it has the focus
    ViewStyle::makeDestructiveBordered(m_clearAll);
    stats->addWidget(m_count);
    stats->addWidget(m_size);
    stats->addStretch(1);
    stats->addWidget(m_clearAll);
    header->addLayout(stats);
    layout->addLayout(header);
    layout->addWidget(ViewStyle::makeDivider(m_content));

    // The list, or the empty state in its place.
    m_stack = new QStackedWidget(m_content);
    m_empty = new QWidget(m_stack);
    auto* emptyLayout = new QVBoxLayout(m_empty);
    emptyLayout->addStretch(1);
    m_emptyText = ViewStyle::makeLabel(QString(), ViewStyle::font(14), m_empty);
    m_emptyText->setAlignment(Qt::AlignCenter);
    ViewStyle::makeSecondary(m_emptyText);
    emptyLayout->addWidget(
        SymbolIcon::makeLabel(u"history", 48, ViewStyle::secondaryText(palette()), m_empty), 0,
        Qt::AlignHCenter);
    emptyLayout->addSpacing(6);
    emptyLayout->addWidget(m_emptyText);
    emptyLayout->addStretch(1);
    m_stack->addWidget(m_empty);

    m_model = new HistoryListModel(this);
    m_row = new HistoryRow(m_clock, this);
    m_list = new QListView(m_stack);
    m_list->setAccessibleName(tr("Captures"));
    m_list->setModel(m_model);
    m_list->setItemDelegate(m_row);
    m_list->setUniformItemSizes(true);
    m_list->setSpacing(kRowGap / 2);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->verticalScrollBar()->setSingleStep(20);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setMouseTracking(true);
    m_list->verticalScrollBar()->setStyleSheet(QStringLiteral(
        "QScrollBar:vertical { background: transparent; width: 10px; margin: 2px 2px 2px 0; }"
        "QScrollBar::handle:vertical { background: palette(mid); border-radius: 4px;"
        " min-height: 32px; }"
        "QScrollBar::handle:vertical:hover { background: palette(dark); }"
        "QScrollBar::add-line, QScrollBar::sub-line { height: 0; }"
        "QScrollBar::add-page, QScrollBar::sub-page { background: transparent; }"));
    m_list->viewport()->setAutoFillBackground(false);
    m_list->setAutoFillBackground(false);
    m_list->setContentsMargins(kMargin - kRowGap / 2 - 4, 4, kMargin - kRowGap / 2 - 4, 4);
    m_list->viewport()->installEventFilter(this);
    m_stack->addWidget(m_list);
    addRowActions();
    layout->addWidget(m_stack, 1);
    connect(m_list->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &HistoryView::updateHoverFromCursor);

    // Sync controls come here; hidden with their divider while empty.
    m_footerArea = new QWidget(m_content);
    auto* footerLayout = new QVBoxLayout(m_footerArea);
    footerLayout->setContentsMargins(0, 0, 0, 0);
    footerLayout->setSpacing(0);
    footerLayout->addWidget(ViewStyle::makeDivider(m_footerArea));
    m_footer = new QWidget(m_footerArea);
    auto* footerRow = new QHBoxLayout(m_footer);
    footerRow->setContentsMargins(kMargin, 8, kMargin, 10);
    footerLayout->addWidget(m_footer);
    m_footer->installEventFilter(this);
    m_footerArea->hide();
    layout->addWidget(m_footerArea);

    connect(m_search, &QLineEdit::textChanged, this, [this] {
        refresh();
        m_list->scrollToTop();
    });
    connect(m_clearAll, &QPushButton::clicked, this, &HistoryView::requestClearAll);
    connect(&m_history, &HistoryService::itemsChanged, this, &HistoryView::refresh);

    // One Escape for the whole window: it closes what is in front first.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, [this] {
        if (m_scrim) {
            dismissDetail();
        } else if (!m_search->text().isEmpty()) {
            m_search->clear();
        } else {
            window()->close();
        }
    });

    auto* ageTimer = new QTimer(this);
    ageTimer->setInterval(kAgeRefreshMs);
    connect(ageTimer, &QTimer::timeout, this, [this] {
        if (isVisible()) {
            m_list->viewport()->update();
        }
    });
    ageTimer->start();

    refresh();
}

HistoryView::~HistoryView() = default;

QString HistoryView::clearAllMessage(qsizetype count)
{
    return tr("This will delete all %1 captured items. This action cannot be undone.").arg(count);
}

void HistoryView::addRowActions()
{
    // The keyboard's way to what the pointer finds on a row: Return opens
    // it, Ctrl+C copies it, Delete deletes it; the context menu lists them.
    struct RowAction
    {
        QString text;
        QKeySequence keys;
        std::function<void(const HistoryItem&)> run;
    };
    const RowAction actions[] = {
        {tr("Open"), QKeySequence(Qt::Key_Return),
         [this](const HistoryItem& item) { showDetail(item); }},
        {tr("Copy"), QKeySequence::Copy, [this](const HistoryItem& item) { copyItem(item.id); }},
        {tr("Delete"), QKeySequence::Delete,
         [this](const HistoryItem& item) { deleteItem(item.id); }},
    };
    for (const RowAction& entry : actions) {
        auto* action = new QAction(entry.text, m_list);
        action->setShortcut(entry.keys);
        action->setShortcutContext(Qt::WidgetShortcut);
        connect(action, &QAction::triggered, this, [this, run = entry.run] {
            if (const HistoryItem* item = m_model->itemAt(m_list->currentIndex().row())) {
                run(HistoryItem(*item)); // a copy: the action may change the model
            }
        });
        m_list->addAction(action);
    }
    m_list->setContextMenuPolicy(Qt::ActionsContextMenu);
}

QString HistoryView::searchText() const
{
    return m_search->text();
}

void HistoryView::setSearchText(const QString& text)
{
    m_search->setText(text);
}

std::optional<HistoryItem> HistoryView::selectedItem() const
{
    if (!m_detail) {
        return std::nullopt;
    }
    return m_detail->item();
}

QLabel* HistoryView::visibleEmptyState() const
{
    return m_stack->currentWidget() == m_empty ? m_emptyText : nullptr;
}

void HistoryView::refresh()
{
    const QList<HistoryItem>& all = m_history.items();
    m_count->setValue(QString::number(all.size()));
    m_size->setValue(m_history.formattedStorageSize());
    m_clearAll->setEnabled(!all.isEmpty());

    // Keep the reader's place when the history changes under them.
    const int scroll = m_list->verticalScrollBar()->value();
    m_row->setHover({}, HistoryRow::Part::None);
    m_model->setItems(HistoryListModel::filtered(all, m_search->text()));
    m_list->verticalScrollBar()->setValue(scroll);

    const bool empty = m_model->rowCount() == 0;
    m_emptyText->setText(m_search->text().isEmpty() ? tr("No captures yet")
                                                    : tr("No matching captures"));
    m_stack->setCurrentWidget(empty ? m_empty : static_cast<QWidget*>(m_list));
    updateHoverFromCursor();
}

void HistoryView::updateHover(const QPoint& viewportPos)
{
    const QModelIndex index = m_list->indexAt(viewportPos);
    const HistoryRow::Part part = index.isValid()
                                      ? HistoryRow::hitTest(m_list->visualRect(index), viewportPos)
                                      : HistoryRow::Part::None;
    const QModelIndex before = m_row->hoveredIndex();
    if (before == index && m_row->hoveredPart() == part) {
        return;
    }
    m_row->setHover(index, part);
    m_list->viewport()->setCursor(part == HistoryRow::Part::None ? Qt::ArrowCursor
                                                                 : Qt::PointingHandCursor);
    if (before.isValid()) {
        m_list->viewport()->update(m_list->visualRect(before));
    }
    if (index.isValid()) {
        m_list->viewport()->update(m_list->visualRect(index));
    }
}

void HistoryView::updateHoverFromCursor()
{
    QWidget* viewport = m_list->viewport();
    if (!viewport->isVisible() || !viewport->underMouse()) {
        updateHover(QPoint(-1, -1));
        return;
    }
    updateHover(viewport->mapFromGlobal(QCursor::pos()));
}

void HistoryView::activate(const QModelIndex& index, const QPoint& viewportPos)
{
    const HistoryItem* item = m_model->itemAt(index.row());
    if (!item) {
        return;
    }
    switch (HistoryRow::hitTest(m_list->visualRect(index), viewportPos)) {
    case HistoryRow::Part::CopyButton:
        copyItem(item->id);
        break;
    case HistoryRow::Part::DeleteButton:
        deleteItem(item->id);
        break;
    case HistoryRow::Part::Body:
        showDetail(*item);
        break;
    case HistoryRow::Part::None:
        break;
    }
}

bool HistoryView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list->viewport()) {
        switch (event->type()) {
        case QEvent::MouseMove:
            updateHover(static_cast<QMouseEvent*>(event)->position().toPoint());
            break;
        case QEvent::Leave:
            updateHover(QPoint(-1, -1));
            break;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            // The row under the pointer becomes current, so that the
            // context menu acts on it.
            auto* mouse = static_cast<QMouseEvent*>(event);
            const QModelIndex index = m_list->indexAt(mouse->position().toPoint());
            if (index.isValid()) {
                m_list->setCurrentIndex(index);
                updateHover(mouse->position().toPoint());
                return mouse->button() == Qt::LeftButton;
            }
            break;
        }
        case QEvent::MouseButtonRelease: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            const QPoint pos = mouse->position().toPoint();
            const QModelIndex index = m_list->indexAt(pos);
            if (mouse->button() == Qt::LeftButton && index.isValid()) {
                activate(index, pos);
                return true;
            }
            break;
        }
        default:
            break;
        }
    } else if (watched == m_footer &&
               (event->type() == QEvent::ChildAdded || event->type() == QEvent::ChildRemoved)) {
        // Deferred: a child being added is not yet fully constructed.
        QTimer::singleShot(0, this, [this] {
            bool hasWidgets = false;
            for (QObject* child : m_footer->children()) {
                hasWidgets = hasWidgets || child->isWidgetType();
            }
            m_footerArea->setVisible(hasWidgets);
        });
    }
    return QWidget::eventFilter(watched, event);
}

void HistoryView::copyItem(const QUuid& id)
{
    for (const HistoryItem& item : m_history.items()) {
        if (item.id == id) {
            (void)ClipboardManager::copyToClipboard(m_clipboard, item.text, false);
            return;
        }
    }
}

void HistoryView::deleteItem(const QUuid& id)
{
    m_history.remove(id);
    m_history.saveHistory();
}

void HistoryView::requestClearAll()
{
    const qsizetype count = m_history.items().size();
    QPointer<HistoryView> self(this);
    m_hooks.confirm(tr("Clear All History?"), clearAllMessage(count), [self](bool confirmed) {
        if (!self || !confirmed) {
            return;
        }
        self->m_history.setItems({});
        self->m_history.saveHistory();
    });
}

void HistoryView::showDetail(const HistoryItem& item)
{
    dismissDetail();
    m_scrim = new SheetScrim(this);
    m_detail = new HistoryDetailView(item, m_clipboard, m_hooks.share, m_scrim);
    connect(m_detail, &HistoryDetailView::dismissed, this, &HistoryView::dismissDetail,
            Qt::QueuedConnection);
    m_content->setEnabled(false);
    layoutSheet();
    m_scrim->show();
    m_scrim->raise();
    m_detail->setFocus();
}

void HistoryView::dismissDetail()
{
    if (!m_scrim) {
        return;
    }
    m_detail = nullptr;
    // Deleted later: dismissal arrives from the sheet's own buttons.
    m_scrim->hide();
    m_scrim->deleteLater();
    m_scrim = nullptr;
    m_content->setEnabled(true);
    m_list->setFocus();
}

void HistoryView::resetState()
{
    dismissDetail();
    m_search->clear();
    m_list->scrollToTop();
}

void HistoryView::layoutSheet()
{
    if (!m_scrim) {
        return;
    }
    m_scrim->setGeometry(rect());
    const int width = std::min(560, this->width() - 40);
    const int height = std::min(460, this->height() - 40);
    m_detail->setGeometry((this->width() - width) / 2, (this->height() - height) / 2, width,
                          height);
}

void HistoryView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutSheet();
}
