#include "app/OCRCaptureService.h"

#include "capture/OCRService.h"

#include <QApplication>

void OCRCaptureService::captureAndRecognize(Completion completion, std::optional<QRect> region)
{
    m_service.captureAndRecognize(std::move(completion), region);
}

void OCRCaptureService::captureAndScan(Completion completion, std::optional<QRect> region)
{
    m_service.captureAndScan(std::move(completion), region);
}

void OCRCaptureService::warmUp()
{
    m_service.warmUp();
}

void OCRCaptureService::probeScreenRecordingPermission(std::function<void(bool allowed)> done)
{
    m_service.probeScreenRecordingPermission(std::move(done));
}

void ApplicationBeeper::beep()
{
    QApplication::beep();
}
