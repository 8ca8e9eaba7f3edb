#include "app/CaptureWorkflow.h"

#include "capture/TextProcessingService.h"
#include "common/Graphemes.h"
#include "feedback/ClipboardManager.h"
#include "history/HistoryService.h"

#include <QTimer>

namespace {

struct AlertText
{
    const char* title;
    const char* message;
};

// The alerts of both commands, by outcome; no alert for a cancelled or empty
// selection.
struct AlertTable
{
    AlertText ocrFailed;
    AlertText noTextDetected;
};

constexpr AlertTable captureAlerts{
    {QT_TRANSLATE_NOOP("CaptureWorkflow", "OCR Error"),
     QT_TRANSLATE_NOOP("CaptureWorkflow", "Failed to extract text from the screenshot.")},
    {QT_TRANSLATE_NOOP("CaptureWorkflow", "No Text Found"),
     QT_TRANSLATE_NOOP("CaptureWorkflow", "No text was detected in the captured screenshot.")}};

constexpr AlertTable scanAlerts{
    {QT_TRANSLATE_NOOP("CaptureWorkflow", "Scan Error"),
     QT_TRANSLATE_NOOP("CaptureWorkflow", "Failed to scan for QR/Barcode.")},
    {QT_TRANSLATE_NOOP("CaptureWorkflow", "No Code Found"),
     QT_TRANSLATE_NOOP("CaptureWorkflow",
                       "No QR code or barcode was detected in the captured screenshot.")}};

constexpr AlertText permissionAlert{
    QT_TRANSLATE_NOOP("CaptureWorkflow", "Permission Required"),
    QT_TRANSLATE_NOOP("CaptureWorkflow",
                      "Please allow quillsnap to take screenshots in your desktop's privacy "
                      "settings.")};

const AlertText* alertFor(const AlertTable& table, OCRError error)
{
    switch (error) {
    case OCRError::screenshotFailed:
    case OCRError::imageLoadFailed:
        return nullptr;
    case OCRError::ocrFailed:
        return &table.ocrFailed;
    case OCRError::noTextDetected:
        return &table.noTextDetected;
    case OCRError::permissionDenied:
        return &permissionAlert;
    }
    return nullptr;
}

} // namespace

CaptureWorkflow::CaptureWorkflow(Clipboard& clipboard, std::function<HistoryService&()> history,
                                 QString deviceName, QObject* parent)
    : QObject(parent), m_clipboard(clipboard), m_history(std::move(history)),
      m_deviceName(std::move(deviceName))
{
}

QString CaptureWorkflow::scanNotificationBody(const QString& payload)
{
    return Graphemes::preview(payload, 50);
}

void CaptureWorkflow::handleCaptureOutcome(const Expected<QString, OCRError>& outcome)
{
    if (!outcome) {
        emit loadingToastHideRequested();
        if (const AlertText* alert = alertFor(captureAlerts, outcome.error())) {
            emit alertRequested(tr(alert->title), tr(alert->message));
        }
        return;
    }
    const QString text = TextProcessingService::finalText(*outcome);
    const auto copied =
        ClipboardManager::copyToClipboard(m_clipboard, text, m_additive, QStringLiteral("\n\n"));
    if (!copied) {
        emit loadingToastHideRequested();
        emit alertRequested(tr("Copy Failed"), tr("Failed to copy text to clipboard: ") +
                                                   ClipboardManager::describe(copied.error()));
        return;
    }

    const HistoryItem item = HistoryItem::create(text, QDateTime::currentDateTime(), m_deviceName);
    HistoryService& history = m_history();
    history.insert(0, item);
    history.cleanupOldItems();
    history.saveHistory();
    emit captureRecorded(item);

    // The toast goes up after this turn of the event loop, like any other
    // window work queued from a completion.
    QTimer::singleShot(0, this, [this] { emit confirmationToastRequested(2.5); });
}

void CaptureWorkflow::handleScanOutcome(const Expected<QString, OCRError>& outcome)
{
    if (!outcome) {
        if (const AlertText* alert = alertFor(scanAlerts, outcome.error())) {
            emit alertRequested(tr(alert->title), tr(alert->message));
        }
        return;
    }
    const QString& payload = *outcome;
    // A scan always replaces the clipboard, whatever the additive flag.
    const auto copied =
        ClipboardManager::copyToClipboard(m_clipboard, payload, false, QStringLiteral("\n\n"));
    if (!copied) {
        emit alertRequested(tr("Copy Failed"), tr("Failed to copy barcode data to clipboard: ") +
                                                   ClipboardManager::describe(copied.error()));
        return;
    }
    emit notificationRequested(tr("QR/Barcode Scanned"), scanNotificationBody(payload));
}
