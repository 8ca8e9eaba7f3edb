#pragma once

#include "capture/OCRError.h"
#include "common/DesktopEnvironment.h"
#include "common/Expected.h"
#include "history/HistoryItem.h"

#include <QObject>
#include <QString>

#include <functional>

class Clipboard;
class HistoryService;

// What the capture and scan commands do with the outcome of recognition: the
// clipboard and the history record here, and requests for alerts, toasts and
// notifications as signals. Runs on the main thread; each outcome is handled
// by itself, in the order the outcomes arrive, so overlapping captures each
// land once.
class CaptureWorkflow : public QObject
{
    Q_OBJECT
public:
    // history: the history store, touched (and so loaded) on the first
    // capture. deviceName: recorded with each capture.
    CaptureWorkflow(Clipboard& clipboard, std::function<HistoryService&()> history,
                    QString deviceName, QObject* parent = nullptr);

    // Whether captures are appended to the clipboard instead of replacing it.
    void setAdditiveClipboard(bool enabled) { m_additive = enabled; }

    void handleCaptureOutcome(const Expected<QString, OCRError>& outcome);
    void handleScanOutcome(const Expected<QString, OCRError>& outcome);

    // What the "Permission Required" alert says on a desktop: how to let
    // quillsnap take screenshots there.
    static QString permissionMessage(const DesktopEnvironment::Session& session);

    // The body of the scan notification: the first 50 characters, then "...".
    static QString scanNotificationBody(const QString& payload);

signals:
    // A modal informational alert, shown after the handler has returned.
    void alertRequested(const QString& title, const QString& message);
    void notificationRequested(const QString& title, const QString& body);
    void loadingToastHideRequested();
    // Posted after the turn of the event loop that recorded the capture.
    void confirmationToastRequested(double seconds);
    // A capture was copied to the clipboard and recorded in the history.
    void captureRecorded(const HistoryItem& item);

private:
    void recordCapture(const QString& text);
    void alert(const char* title, const char* message);

    Clipboard& m_clipboard;
    std::function<HistoryService&()> m_history;
    QString m_deviceName;
    bool m_additive = false;
};
