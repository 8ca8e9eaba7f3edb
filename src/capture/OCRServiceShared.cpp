#include "capture/OCRService.h"

#include "capture/TesseractRecognizer.h"

#include <QCoreApplication>

// Kept apart from OCRService.cpp so that programs which build their own
// service (the tests) do not pull in the Tesseract engine.
OCRService& OCRService::shared()
{
    // Created on first use, after the application object. It goes with the
    // application object, so that the engine shuts down before the
    // recognition library's own statics do.
    static OCRService* instance = nullptr;
    if (!instance) {
        instance = new OCRService(std::make_shared<TesseractRecognizer>());
        qAddPostRoutine([] {
            delete instance;
            instance = nullptr;
        });
    }
    return *instance;
}
