#pragma once

#include "capture/OCRError.h"
#include "common/Expected.h"

#include <QRect>
#include <QString>

#include <functional>
#include <optional>

// The two user commands as the delegate starts them: pick a region, then
// recognise its text or read its codes. Each completion runs once, on the
// main thread. OCRService is the real one; tests give their own.
class CaptureService
{
public:
    using Completion = std::function<void(Expected<QString, OCRError>)>;

    virtual ~CaptureService() = default;
    // With a region (logical desktop coordinates), that region is taken at
    // once instead of letting the user pick one.
    virtual void captureAndRecognize(Completion completion, std::optional<QRect> region) = 0;
    virtual void captureAndScan(Completion completion, std::optional<QRect> region) = 0;
    // Loads the recognizer ahead of its first use; cheap when already loaded.
    virtual void warmUp() {}
    // One silent full-screen capture, so that a desktop which guards the
    // screen asks the user for permission; done learns whether it was allowed.
    virtual void probeScreenRecordingPermission(std::function<void(bool allowed)> done)
    {
        Q_UNUSED(done);
    }
};
