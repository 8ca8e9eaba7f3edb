#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// The arithmetic of a drag, kept apart from the windows so it can be checked
// on its own. Coordinates are device pixels of one screen's image.
namespace SelectionGeometry {

// Movement (logical pixels, either axis) below which a press and release is a
// click that picks a window rather than a drag.
constexpr qreal clickTolerance = 3.0;

bool isDrag(QPointF press, QPointF current);

// The logical point local to a screen, in that screen's device pixels.
QPoint toDevice(QPointF local, qreal devicePixelRatio);

// The rectangle between the press point and the current point. Points are
// clamped to the image first. The far edge is exclusive, so pressing at x=100
// and releasing at x=300 gives 200 columns; a far edge on the image's last
// column or row takes that column or row in, because the pointer cannot go
// beyond it and the screen's edge would otherwise be out of reach.
QRect between(QPoint press, QPoint current, QSize imageSize);

} // namespace SelectionGeometry
