#include "app/CaptureWorkflow.h"

#include "capture/TextProcessingService.h"
#include "common/Graphemes.h"
#include "feedback/ClipboardManager.h"
#include "history/HistoryItem.h"
#include "history/HistoryService.h"

#include <QPointer>
#include <QTimer>

namespace {
struct AlertText
{
    const char* title;
    const char* message;
};

const AlertText permissionAlert{
    "Permission Required",
    "Please grant Screen Recording permission in System Settings > Privacy & Security."};

// nullptr: the outcome ends silently (a cancelled or empty selection).
const AlertText* captureAlert(OCRError error)
{
    static const AlertText ocrFailed{"OCR Error", "Failed to extract text from the screenshot."};
    static const AlertText noText{"No Text Found",
                                  "No text was detected in the captured screenshot."};
    switch (error) {
    case OCRError::screenshotFailed:
    case OCRError::imageLoadFailed:
        return nullptr;
    case OCRError::ocrFailed:
        return &ocrFailed;
    case OCRError::noTextDetected:
        return &noText;
    case OCRError::permissionDenied:
        return &permissionAlert;
    }
    return nullptr;
}

const AlertText* scanAlert(OCRError error)
{
    static const AlertText scanFailed{"Scan Error", "Failed to scan for QR/Barcode."};
    static const AlertText noCode{"No Code Found",
                                  "No QR code or barcode was detected in the captured screenshot."};
    switch (error) {
    case OCRError::screenshotFailed:
    case OCRError::imageLoadFailed:
        return nullptr;
    case OCRError::ocrFailed:
        return &scanFailed;
    case OCRError::noTextDetected:
        return &noCode;
    case OCRError::permissionDenied:
        return &permissionAlert;
    }
    return nullptr;
}
} // namespace

CaptureWorkflow::CaptureWorkflow(Clipboard& clipboard, std::function<HistoryService&()> history,
                                 Hooks hooks, QObject* parent)
    : QObject(parent), m_clipboard(clipboard), m_history(std::move(history)),
      m_hooks(std::move(hooks))
{
}

QString CaptureWorkflow::scanNotificationBody(const QString& payload)
{
    return Graphemes::preview(payload, 50);
}

void CaptureWorkflow::handleCaptureOutcome(const Expected<QString, OCRError>& outcome)
{
    if (!outcome) {
        m_hooks.hideLoadingToast();
        if (const AlertText* alert = captureAlert(outcome.error())) {
            m_hooks.showAlert(QString::fromUtf8(alert->title), QString::fromUtf8(alert->message));
        }
        return;
    }
    const QString text = TextProcessingService::finalText(*outcome);
    const auto copied = ClipboardManager::copyToClipboard(
        m_clipboard, text, m_hooks.additiveClipboard(), QStringLiteral("\n\n"));
    if (!copied) {
        m_hooks.hideLoadingToast();
        m_hooks.showAlert(QStringLiteral("Copy Failed"),
                          QStringLiteral("Failed to copy text to clipboard: ") +
                              ClipboardManager::describe(copied.error()));
        return;
    }

    const HistoryItem item =
        HistoryItem::create(text, QDateTime::currentDateTime(), m_hooks.deviceName());
    HistoryService& history = m_history();
    history.insert(0, item);
    history.cleanupOldItems();
    history.saveHistory();
    if (m_hooks.syncEnabled && m_hooks.syncEnabled() && m_hooks.upload) {
        m_hooks.upload(item);
    }
    emit captureRecorded();

    // The toast goes up after this turn of the event loop, like any other
    // window work queued from a completion.
    QTimer::singleShot(0, this, [this] { m_hooks.showConfirmationToast(2.5); });
}

void CaptureWorkflow::handleScanOutcome(const Expected<QString, OCRError>& outcome)
{
    if (!outcome) {
        if (const AlertText* alert = scanAlert(outcome.error())) {
            m_hooks.showAlert(QString::fromUtf8(alert->title), QString::fromUtf8(alert->message));
        }
        return;
    }
    const QString& payload = *outcome;
    // A scan always replaces the clipboard, whatever the additive flag.
    const auto copied =
        ClipboardManager::copyToClipboard(m_clipboard, payload, false, QStringLiteral("\n\n"));
    if (!copied) {
        m_hooks.showAlert(QStringLiteral("Copy Failed"),
                          QStringLiteral("Failed to copy barcode data to clipboard: ") +
                              ClipboardManager::describe(copied.error()));
        return;
    }
    m_hooks.postNotification(QStringLiteral("QR/Barcode Scanned"), scanNotificationBody(payload));
}
