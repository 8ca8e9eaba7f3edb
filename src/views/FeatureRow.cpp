#include "views/FeatureRow.h"

#include "views/OnboardingStyle.h"
#include "views/SymbolIcon.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

using namespace OnboardingStyle;

namespace {
constexpr int kIconColumn = 30;
constexpr int kIconSize = 24;
} // namespace

FeatureRow::FeatureRow(const QString& icon, const QString& title, const QString& description,
                       QWidget* parent)
    : QWidget(parent), m_icon(icon)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);

    auto* symbol = SymbolIcon::makeLabel(icon, kIconSize, accentColor(palette()), this);
    auto* column = new QWidget(this);
    column->setFixedWidth(kIconColumn);
    auto* columnLayout = new QHBoxLayout(column);
    columnLayout->setContentsMargins(0, 0, 0, 0);
    columnLayout->addWidget(symbol, 0, Qt::AlignCenter);
    row->addWidget(column, 0, Qt::AlignVCenter);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    m_title = makeLabel(title, textFont(TextStyle::Headline), this);
    m_description = makeSecondaryLabel(description, TextStyle::Subheadline, this);
    texts->addWidget(m_title);
    texts->addWidget(m_description);
    row->addLayout(texts, 1);
}

QString FeatureRow::title() const
{
    return m_title->text();
}

QString FeatureRow::description() const
{
    return m_description->text();
}
