#include "app/OCRCaptureService.h"

#include "capture/OCRService.h"

#include <QApplication>

void OCRCaptureService::captureAndRecognize(Completion completion)
{
    m_service.captureAndRecognize(std::move(completion));
}

void OCRCaptureService::captureAndScan(Completion completion)
{
    m_service.captureAndScan(std::move(completion));
}

void OCRCaptureService::warmUp()
{
    m_service.warmUp();
}

void OCRCaptureService::probeScreenRecordingPermission()
{
    m_service.probeScreenRecordingPermission();
}

void ApplicationBeeper::beep()
{
    QApplication::beep();
}
