#pragma once

#include <QColor>
#include <QPixmap>
#include <QStringView>

class QLabel;
class QPainter;
class QRectF;
class QWidget;

// The pictograms of the application's windows, drawn with QPainter on a
// 24 x 24 grid so that they look the same with or without an icon theme.
// Named after what they show ("camera", "document", "sync", "delete", ...).
namespace SymbolIcon {

// Draws the symbol into `rect` (a square works best) in `color`. Unknown
// names draw nothing and return false.
bool paint(QPainter& painter, QStringView name, const QRectF& rect, const QColor& color);

// A transparent pixmap of `size` logical pixels for the given device pixel ratio.
QPixmap pixmap(QStringView name, int size, const QColor& color, qreal devicePixelRatio);

// A fixed-size label showing the symbol, marked decorative for assistive
// technology (no accessible name, no focus).
QLabel* makeLabel(QStringView name, int size, const QColor& color, QWidget* parent);

} // namespace SymbolIcon
