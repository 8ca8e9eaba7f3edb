#pragma once

#include <QColor>
#include <QPixmap>
#include <QStringView>

class QPainter;
class QRectF;

// The pictograms of the history window, drawn with QPainter on a 24 x 24 grid
// like SymbolIcon's, so that they look the same with or without an icon theme.
// Names SymbolIcon draws ("doc.text", ...) are passed on to it.
namespace HistorySymbols {

// Draws the symbol into `rect` in `color`; false for an unknown name.
bool paint(QPainter& painter, QStringView name, const QRectF& rect, const QColor& color);

// A transparent pixmap of `size` logical pixels for the given device pixel ratio.
QPixmap pixmap(QStringView name, int size, const QColor& color, qreal devicePixelRatio);

} // namespace HistorySymbols
