#pragma once

#include "capture/OCRError.h"
#include "common/Expected.h"

#include <QObject>
#include <QString>

#include <functional>

class Clipboard;
class HistoryService;
class HistoryItem;

// What the capture and scan commands do with the outcome of recognition:
// alerts for failures, the clipboard, the history record, the toast and the
// notification. Runs on the main thread; each outcome is handled by itself,
// in the order the outcomes arrive, so overlapping captures each land once.
class CaptureWorkflow : public QObject
{
    Q_OBJECT
public:
    struct Hooks
    {
        // A modal informational alert, shown after the handler has returned.
        std::function<void(const QString& title, const QString& message)> showAlert;
        // A desktop notification.
        std::function<void(const QString& title, const QString& body)> postNotification;
        std::function<void()> hideLoadingToast;
        std::function<void(double seconds)> showConfirmationToast;
        // The delegate's additive flag at the moment of the outcome.
        std::function<bool()> additiveClipboard;
        // Whether cloud sync is on, and the upload of one record (errors ignored).
        std::function<bool()> syncEnabled;
        std::function<void(const HistoryItem&)> upload;
        // The device name recorded with each capture.
        std::function<QString()> deviceName;
    };

    // history: the history store, touched (and so loaded) on the first capture.
    CaptureWorkflow(Clipboard& clipboard, std::function<HistoryService&()> history, Hooks hooks,
                    QObject* parent = nullptr);

    void handleCaptureOutcome(const Expected<QString, OCRError>& outcome);
    void handleScanOutcome(const Expected<QString, OCRError>& outcome);

    // The body of the scan notification: the first 50 characters, then "...".
    static QString scanNotificationBody(const QString& payload);

signals:
    // A capture was copied to the clipboard and recorded in the history.
    void captureRecorded();

private:
    Clipboard& m_clipboard;
    std::function<HistoryService&()> m_history;
    Hooks m_hooks;
};
