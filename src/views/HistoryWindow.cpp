#include "views/HistoryWindow.h"

#include <QCloseEvent>
#include <QLineEdit>
#include <QVBoxLayout>

HistoryWindow::HistoryWindow(HistoryService& history, Clipboard& clipboard, HistoryViewHooks hooks,
                             QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setWindowTitle(tr("Capture History"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_view = new HistoryView(history, clipboard, std::move(hooks), this);
    layout->addWidget(m_view);
    setMinimumSize(420, 340);
    resize(defaultSize);
}

void HistoryWindow::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        m_view->resetState();
        m_view->searchField()->setFocus();
    }
    QWidget::showEvent(event);
}

void HistoryWindow::closeEvent(QCloseEvent* event)
{
    m_view->resetState();
    QWidget::closeEvent(event);
    if (event->isAccepted()) {
        emit closed();
    }
}
