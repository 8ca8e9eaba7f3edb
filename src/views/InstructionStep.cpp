#include "views/InstructionStep.h"

#include "views/ViewStyle.h"

#include <QHBoxLayout>
#include <QLabel>

using namespace ViewStyle;

namespace {
constexpr int kBadgeSize = 28;
} // namespace

InstructionStep::InstructionStep(int number, const QString& text, QWidget* parent) : QWidget(parent)
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
                             .arg(accent(palette()).name(), QString::number(kBadgeSize / 2)));
    // Read as "Step 1", not as a lone digit.
    badge->setAccessibleName(tr("Step %1").arg(number));
    row->addWidget(badge, 0, Qt::AlignVCenter);
    row->addWidget(makeLabel(text, textFont(TextStyle::Body), this), 1, Qt::AlignVCenter);
}
