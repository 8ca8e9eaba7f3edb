#include "views/InstructionStep.h"

#include "views/OnboardingStyle.h"

#include <QHBoxLayout>
#include <QLabel>

using namespace OnboardingStyle;

namespace {
constexpr int kBadgeSize = 28;
} // namespace

InstructionStep::InstructionStep(int number, const QString& text, QWidget* parent)
    : QWidget(parent), m_number(number)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);

    QLabel* badge = makeLabel(QString::number(number), textFont(TextStyle::Headline), this);
    badge->setObjectName(QStringLiteral("stepNumber"));
    badge->setFixedSize(kBadgeSize, kBadgeSize);
    badge->setAlignment(Qt::AlignCenter);
    badge->setStyleSheet(QStringLiteral("QLabel#stepNumber { background-color: %1; color: white;"
                                        " border-radius: %2px; }")
                             .arg(accentColor(palette()).name(), QString::number(kBadgeSize / 2)));
    row->addWidget(badge, 0, Qt::AlignVCenter);

    m_text = makeLabel(text, textFont(TextStyle::Body), this);
    row->addWidget(m_text, 1, Qt::AlignVCenter);
}

QString InstructionStep::text() const
{
    return m_text->text();
}
