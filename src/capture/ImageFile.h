#pragma once

#include "common/Expected.h"

#include <QByteArray>
#include <QImage>
#include <QString>

// Decodes image files for recognition and scanning, within the size the
// engine recognises in reasonable time, and tells why a file cannot be used.
namespace ImageFile {

// 40 megapixels: a whole 8K screen (7680 x 4320, 33 Mpx), the most a
// capture takes, or an A4 page scanned at 600 dpi (35 Mpx) fits. The engine
// needs about 16 MB per megapixel besides its models (665 MB for an 8K
// screen full of text), and its time grows with the text on the image:
// 100 megapixels would let one file take 1.7 GB and minutes.
constexpr qint64 maxPixels = 40'000'000;
constexpr int maxSide = 16384;

enum class Error {
    missing,
    permissionDenied,
    notRegularFile,
    unreadable,
    notAnImage,
    damaged,
    tooLarge
};

// path in the system's own bytes (see RegularFile).
Expected<QImage, Error> read(const QByteArray& nativePath);
Expected<QImage, Error> read(const QString& path);

// What went wrong, in a few words for a message ("not an image").
QString describe(Error error);

} // namespace ImageFile
