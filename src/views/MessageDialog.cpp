#include "views/MessageDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

MessageDialog::MessageDialog(QStyle::StandardPixmap icon, const QString& title,
                             const QString& message, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(title);
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(20, 20, 20, 16);
    outer->setSpacing(16);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    // Decorative, like a message box's icon: the title says it all.
    auto* iconLabel = new QLabel(this);
    const int extent = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    iconLabel->setPixmap(
        style()->standardIcon(icon, nullptr, this).pixmap(extent > 0 ? extent : 48));
    outer->addWidget(iconLabel, 0, Qt::AlignTop);

    auto* column = m_column = new QVBoxLayout;
    column->setSpacing(0);
    outer->addLayout(column);

    // The title in bold over the message: not every window manager shows
    // the window title.
    auto* titleLabel = new QLabel(title, this);
    titleLabel->setTextFormat(Qt::PlainText);
    QFont bold = titleLabel->font();
    bold.setBold(true);
    titleLabel->setFont(bold);
    column->addWidget(titleLabel);
    column->addSpacing(6);

    auto* messageLabel = new QLabel(message, this);
    messageLabel->setTextFormat(Qt::PlainText);
    messageLabel->setWordWrap(true);
    // A message may name a file worth copying.
    messageLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    messageLabel->setFixedWidth(messageWidth);
    column->addWidget(messageLabel);

    m_body = new QVBoxLayout;
    m_body->setContentsMargins(0, 8, 0, 20);
    m_body->setSpacing(0);
    column->addLayout(m_body);
}

QPushButton* MessageDialog::addButton(const QString& text, QDialogButtonBox::ButtonRole role)
{
    // Made with the first button, after the body's content, so that screen
    // readers and Tab meet the buttons last.
    if (!m_buttons) {
        m_buttons = new QDialogButtonBox(this);
        connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        m_column->addWidget(m_buttons);
    }
    return m_buttons->addButton(text, role);
}
