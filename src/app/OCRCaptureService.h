#pragma once

#include "app/CaptureService.h"
#include "capture/Beeper.h"

class OCRService;

// The capture commands of the recognition service.
class OCRCaptureService : public CaptureService
{
public:
    explicit OCRCaptureService(OCRService& service) : m_service(service) {}
    void captureAndRecognize(Completion completion, std::optional<QRect> region) override;
    void captureAndScan(Completion completion, std::optional<QRect> region) override;
    void warmUp() override;
    void probeScreenRecordingPermission(std::function<void(bool allowed)> done) override;

private:
    OCRService& m_service;
};

// The desktop's bell.
class ApplicationBeeper : public Beeper
{
public:
    void beep() override;
};
