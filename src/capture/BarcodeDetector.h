#pragma once

#include "common/Expected.h"

#include <QImage>
#include <QList>
#include <QString>

#include <optional>

// Finds QR codes and barcodes of every symbology ZXing reads in a bitmap.
// Stateless; safe on any thread.
class BarcodeDetector
{
public:
    enum class Error { invalidImage, detectionFailed };

    // One entry per code found, in the detector's order: its payload as text,
    // or nullopt when the code carries no text (binary content). Codes printed
    // light on dark are found too.
    static Expected<QList<std::optional<QString>>, Error> detect(const QImage& image);
};
