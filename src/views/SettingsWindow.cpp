#include "views/SettingsWindow.h"

#include <QKeySequence>
#include <QShortcut>
#include <QVBoxLayout>

SettingsWindow::SettingsWindow(SettingsServices services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(tr("Settings"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_view = new SettingsView(std::move(services), this);
    layout->addWidget(m_view);
    setFixedSize(defaultSize);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    auto* closeKeys = new QShortcut(QKeySequence::Close, this);
    connect(closeKeys, &QShortcut::activated, this, &QWidget::close);
}
