#include "views/CompletionPage.h"

#include "views/FeatureRow.h"
#include "views/OnboardingStyle.h"
#include "views/SymbolIcon.h"

#include <QLabel>
#include <QVBoxLayout>

using namespace OnboardingStyle;

CompletionPage::CompletionPage(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(40, 40, 40, 40);
    layout->setSpacing(0);
    layout->addStretch(1);

    layout->addWidget(SymbolIcon::makeLabel(u"checkmark.circle.fill", 55, successColor(), this), 0,
                      Qt::AlignHCenter);
    layout->addSpacing(18);
    layout->addWidget(makeLabel(QStringLiteral("You're All Set!"), titleFont(24), this), 0,
                      Qt::AlignHCenter);
    layout->addSpacing(8);
    layout->addWidget(
        makeSecondaryLabel(QStringLiteral("quillsnap is ready to use"), TextStyle::Callout, this),
        0, Qt::AlignHCenter);
    layout->addSpacing(32);

    // The key sequence named here is the default one on purpose: this page is
    // shown before any other sequence can have been chosen.
    auto* rows = new QWidget(this);
    auto* rowsLayout = new QVBoxLayout(rows);
    rowsLayout->setContentsMargins(0, 0, 0, 0);
    rowsLayout->setSpacing(16);
    rowsLayout->addWidget(new FeatureRow(QStringLiteral("keyboard"), QStringLiteral("Press ⌘⇧8"),
                                         QStringLiteral("Capture and extract text from any "
                                                        "screen area"),
                                         rows));
    rowsLayout->addWidget(new FeatureRow(QStringLiteral("menubar.rectangle"),
                                         QStringLiteral("Menu Bar Icon"),
                                         QStringLiteral("Access settings and features from the "
                                                        "menu bar"),
                                         rows));
    layout->addWidget(rows, 0, Qt::AlignHCenter);
    layout->addStretch(1);
}
