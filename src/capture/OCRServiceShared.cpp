#include "capture/OCRService.h"

#include "capture/TesseractRecognizer.h"

// Kept apart from OCRService.cpp so that programs which build their own
// service (the tests) do not pull in the Tesseract engine.
OCRService& OCRService::shared()
{
    // Created on first use, after the application object; kept until the
    // process ends.
    static OCRService* const instance = new OCRService(std::make_shared<TesseractRecognizer>());
    return *instance;
}
