#include "views/WelcomePage.h"

WelcomePage::WelcomePage(const QString& keySequence, QWidget* parent)
    : OnboardingPage({QStringLiteral("scan-text"), 60, tr("Welcome to quillsnap"), 26,
                      tr("Capture screenshots and extract text instantly"),
                      ViewStyle::TextStyle::Body},
                     parent)
{
    addFeatures({
        {QStringLiteral("camera"), tr("Quick Capture"),
         tr("Press %1 to capture any area").arg(keySequence)},
        {QStringLiteral("document"), tr("Instant OCR"), tr("Automatic text recognition")},
        {QStringLiteral("clipboard"), tr("Auto Copy"), tr("Text copied to clipboard immediately")},
    });
}
