#include "views/CompletionPage.h"

CompletionPage::CompletionPage(const QString& keySequence, QWidget* parent)
    : OnboardingPage({QStringLiteral("check-circle"), 55, tr("You're All Set!"), 24,
                      tr("quillsnap is ready to use"), ViewStyle::TextStyle::Callout,
                      ViewStyle::success()},
                     parent)
{
    addFeatures({
        {QStringLiteral("keyboard"), tr("Press %1").arg(keySequence),
         tr("Capture and extract text from any screen area")},
        {QStringLiteral("panel"), tr("Tray Icon"),
         tr("Access settings and features from the panel")},
    });
}
