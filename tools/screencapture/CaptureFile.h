#pragma once

#include "common/Expected.h"

#include <QImage>
#include <QList>
#include <QString>

struct ScreenImage;

// Writing the picked image where the caller asked for it.
namespace CaptureFile {

// Fails unless the directory that is to hold path exists. The picker never
// creates it: a missing directory means the caller made a mistake.
Expected<void, QString> checkDestination(const QString& path);

// Writes image as PNG to path, readable by the owner only (0600). The file
// appears complete or not at all: it is written beside path and renamed.
Expected<void, QString> write(const QImage& image, const QString& path);

// All screens composed into one image of the virtual desktop, in device
// pixels; uncovered parts of the bounding rectangle are black.
QImage composeDesktop(const QList<ScreenImage>& screens);

} // namespace CaptureFile
