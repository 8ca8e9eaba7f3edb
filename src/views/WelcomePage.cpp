#include "views/WelcomePage.h"

#include "views/FeatureRow.h"
#include "views/OnboardingStyle.h"
#include "views/SymbolIcon.h"

#include <QLabel>
#include <QVBoxLayout>

using namespace OnboardingStyle;

WelcomePage::WelcomePage(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(40, 40, 40, 40);
    layout->setSpacing(0);
    layout->addStretch(1);

    layout->addWidget(
        SymbolIcon::makeLabel(u"doc.text.viewfinder", 60, accentColor(palette()), this), 0,
        Qt::AlignHCenter);
    layout->addSpacing(18);
    layout->addWidget(makeLabel(QStringLiteral("Welcome to quillsnap"), titleFont(26), this), 0,
                      Qt::AlignHCenter);
    layout->addSpacing(8);
    layout->addWidget(makeSecondaryLabel(QStringLiteral("Capture screenshots and extract text "
                                                        "instantly"),
                                         TextStyle::Body, this),
                      0, Qt::AlignHCenter);
    layout->addSpacing(32);

    // The rows share a left edge and sit as one block in the middle.
    auto* rows = new QWidget(this);
    auto* rowsLayout = new QVBoxLayout(rows);
    rowsLayout->setContentsMargins(0, 0, 0, 0);
    rowsLayout->setSpacing(16);
    rowsLayout->addWidget(new FeatureRow(QStringLiteral("camera"), QStringLiteral("Quick Capture"),
                                         QStringLiteral("Press ⌘⇧8 to capture any area"), rows));
    rowsLayout->addWidget(new FeatureRow(QStringLiteral("doc.text"), QStringLiteral("Instant OCR"),
                                         QStringLiteral("Automatic text recognition"), rows));
    rowsLayout->addWidget(
        new FeatureRow(QStringLiteral("doc.on.clipboard"), QStringLiteral("Auto Copy"),
                       QStringLiteral("Text copied to clipboard immediately"), rows));
    layout->addWidget(rows, 0, Qt::AlignHCenter);
    layout->addStretch(1);
}
