#pragma once

#include "common/Expected.h"

#include <QRect>
#include <QString>

// A screen region given on the command line as "X,Y,W,H": logical desktop
// coordinates (what the desktop's own tools report), width and height at
// least 1. Scripts capture the same area each time without the picker.
namespace CaptureRegion {

// The region, or why the text is not one (for the user).
Expected<QRect, QString> parse(const QString& text);
QString format(const QRect& region);

} // namespace CaptureRegion
