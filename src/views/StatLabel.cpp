#include "views/StatLabel.h"

#include "views/SymbolIcon.h"
#include "views/ViewStyle.h"

#include <QHBoxLayout>
#include <QLabel>

namespace {
constexpr int kTextPixels = 12;
constexpr int kIconSize = 13;
} // namespace

StatLabel::StatLabel(const QString& icon, const QString& value, const QString& label,
                     QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);

    // Created first, so that the symbol comes first in the accessibility tree
    // too.
    QLabel* symbol =
        SymbolIcon::makeLabel(icon, kIconSize, ViewStyle::secondaryText(palette()), this);
    // A lone value (a date, a device) reads as plain text; a count is stressed.
    m_value = ViewStyle::makeLabel(
        value, ViewStyle::font(kTextPixels, label.isEmpty() ? QFont::Normal : QFont::DemiBold),
        this);
    m_value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_label = ViewStyle::makeLabel(label, ViewStyle::font(kTextPixels), this);
    ViewStyle::makeSecondary(m_label);
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

QString StatLabel::text() const
{
    return m_label->text().isEmpty() ? value() : value() + u' ' + m_label->text();
}

void StatLabel::setValue(const QString& value)
{
    m_value->setText(value);
    setAccessibleName(text());
}
