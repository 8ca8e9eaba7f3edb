#pragma once

#include <QMetaType>

// Failures of the capture and recognition commands. The workflow that shows an
// alert owns the words; the cases carry none.
enum class OCRError {
    screenshotFailed = 0,
    imageLoadFailed = 1,
    ocrFailed = 2,
    noTextDetected = 3,
    permissionDenied = 4,
};
Q_DECLARE_METATYPE(OCRError)
