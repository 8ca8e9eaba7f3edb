#pragma once

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QPalette>

// Drawing helpers shared by the two toasts.
namespace ToastPainting {

// The card fill: a light or dark "material" after the palette. Without a
// compositor the window's alpha is ignored, so the fill is then opaque.
QColor materialColor(const QPalette& palette, bool opaque);
bool isDark(const QPalette& palette);

// A soft shadow of `shape` filled with `color`, blurred by `radius` pixels.
// The image is larger than the shape by `radius` on every side; draw it at
// the shape's top-left minus `radius` (plus the shadow offset).
QImage dropShadow(const QPainterPath& shape, const QColor& color, int radius);

// A four-pointed sparkle star with concave sides.
QPainterPath sparkle(QPointF centre, qreal radius);

// A ring with a check mark cut out of a filled circle.
QPainterPath checkMarkCircle(const QRectF& bounds);

} // namespace ToastPainting
