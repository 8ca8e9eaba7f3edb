#include "views/StatLabel.h"

#include "views/HistoryStyle.h"
#include "views/SymbolIcon.h"

#include <QHBoxLayout>
#include <QLabel>

namespace {
constexpr int kTextPixels = 12;
constexpr int kIconSize = 13;
} // namespace

StatLabel::StatLabel(const QString& icon, const QString& value, const QString& label,
                     QWidget* parent)
    : QWidget(parent), m_icon(icon)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);

    const QColor secondary = HistoryStyle::secondaryText(palette());
    auto* symbol = new QLabel(this);
    symbol->setPixmap(SymbolIcon::pixmap(icon, kIconSize, secondary, devicePixelRatioF()));
    symbol->setFixedSize(kIconSize, kIconSize);
    symbol->setAccessibleName(icon);

    m_value = new QLabel(value, this);
    m_value->setTextFormat(Qt::PlainText);
    // A lone value (a date, a device) reads as plain text; a count is stressed.
    m_value->setFont(
        HistoryStyle::font(kTextPixels, label.isEmpty() ? QFont::Normal : QFont::DemiBold));
    m_value->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_label = new QLabel(label, this);
    m_label->setTextFormat(Qt::PlainText);
    m_label->setFont(HistoryStyle::font(kTextPixels));
    QPalette p = m_label->palette();
    p.setColor(QPalette::WindowText, secondary);
    m_label->setPalette(p);
    m_label->setVisible(!label.isEmpty());

    layout->addWidget(symbol, 0, Qt::AlignVCenter);
    layout->addWidget(m_value, 0, Qt::AlignVCenter);
    layout->addWidget(m_label, 0, Qt::AlignVCenter);
    setAccessibleName(text());
}

QString StatLabel::value() const
{
    return m_value->text();
}

QString StatLabel::label() const
{
    return m_label->text();
}

QString StatLabel::text() const
{
    return label().isEmpty() ? value() : value() + u' ' + label();
}

void StatLabel::setValue(const QString& value)
{
    m_value->setText(value);
    setAccessibleName(text());
}
