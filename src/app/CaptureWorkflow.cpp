#include "app/CaptureWorkflow.h"

#include "capture/TextProcessingService.h"
#include "common/Graphemes.h"
#include "feedback/ClipboardManager.h"
#include "history/HistoryService.h"

#include <QPointer>
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

// The message is the desktop's own (permissionMessage()).
constexpr AlertText permissionAlert{QT_TRANSLATE_NOOP("CaptureWorkflow", "Permission Required"),
                                    nullptr};

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

QString CaptureWorkflow::permissionMessage(const DesktopEnvironment::Session& session)
{
    using Kind = DesktopEnvironment::Kind;
    if (!session.wayland) {
        return tr("Please allow quillsnap to take screenshots in your desktop's privacy "
                  "settings.");
    }
    switch (session.kind) {
    case Kind::gnome:
        return tr("GNOME did not let quillsnap take a screenshot. GNOME asks once, and only "
                  "while a quillsnap window is in front: answer \"Allow\" when it asks. An "
                  "earlier answer is kept; change it under Settings > Apps > quillsnap > "
                  "Screenshots (GNOME 46 and later).");
    case Kind::kde:
        return tr("KDE Plasma did not let quillsnap take a screenshot. Allow screenshots for "
                  "quillsnap under System Settings > Application Permissions, then try again.");
    case Kind::wlroots:
        return tr("%1 did not let quillsnap take a screenshot. quillsnap reads the screen with "
                  "grim (the screencopy protocol) or through xdg-desktop-portal-wlr: install "
                  "grim, or start the portal with PipeWire, then try again.")
            .arg(DesktopEnvironment::displayName(session));
    case Kind::other:
        break;
    }
    return tr("Your desktop did not let quillsnap take a screenshot. Allow screenshots for "
              "quillsnap in its privacy settings (xdg-desktop-portal), then try again.");
}

void CaptureWorkflow::alert(const char* title, const char* message)
{
    emit alertRequested(tr(title),
                        message ? tr(message) : permissionMessage(DesktopEnvironment::current()));
}

QString CaptureWorkflow::scanNotificationBody(const QString& payload)
{
    return Graphemes::preview(payload, 50);
}

void CaptureWorkflow::handleCaptureOutcome(const Expected<QString, OCRError>& outcome)
{
    if (!outcome) {
        emit loadingToastHideRequested();
        if (const AlertText* text = alertFor(captureAlerts, outcome.error())) {
            alert(text->title, text->message);
        }
        return;
    }
    const QString text = TextProcessingService::finalText(*outcome);
    QPointer<CaptureWorkflow> self(this);
    ClipboardManager::copyToClipboardAsync(
        m_clipboard, text, m_additive, QStringLiteral("\n\n"),
        [self, text](Expected<void, ClipboardError> copied) {
            if (!self) {
                return;
            }
            if (!copied) {
                emit self->loadingToastHideRequested();
                emit self->alertRequested(tr("Copy Failed"),
                                          tr("Failed to copy text to clipboard: ") +
                                              ClipboardManager::describe(copied.error()));
                return;
            }
            self->recordCapture(text);
        });
}

void CaptureWorkflow::recordCapture(const QString& text)
{
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
        if (const AlertText* text = alertFor(scanAlerts, outcome.error())) {
            alert(text->title, text->message);
        }
        return;
    }
    const QString payload = *outcome;
    // A scan always replaces the clipboard, whatever the additive flag.
    QPointer<CaptureWorkflow> self(this);
    ClipboardManager::copyToClipboardAsync(
        m_clipboard, payload, false, QStringLiteral("\n\n"),
        [self, payload](Expected<void, ClipboardError> copied) {
            if (!self) {
                return;
            }
            if (!copied) {
                emit self->alertRequested(tr("Copy Failed"),
                                          tr("Failed to copy barcode data to clipboard: ") +
                                              ClipboardManager::describe(copied.error()));
                return;
            }
            emit self->notificationRequested(tr("QR/Barcode Scanned"),
                                             scanNotificationBody(payload));
        });
}
