#pragma once

#include <QList>
#include <QRect>
#include <QSize>

// Where each screen lies in one image of the whole desktop, and where a
// logical region lies in a screen's pixels. grim and the screenshot portals
// return the desktop as one image at one scale (the largest of the outputs),
// while Qt gives each screen's geometry in logical pixels; outputs may have
// different and fractional scales.
namespace DesktopImageLayout {

// The union of the screens' logical geometries.
QRect bounds(const QList<QRect>& screens);

// The pixels of the screen at logical geometry `screen` in an image of size
// `imageSize` that shows the logical rectangle `desktop`. Edges are rounded
// to the nearest pixel, so neighbouring screens share no pixel and leave no gap.
QRect screenArea(const QRect& screen, const QRect& desktop, QSize imageSize);

// The index of the screen a logical region overlaps most; -1 when it
// overlaps none.
int screenFor(const QRect& region, const QList<QRect>& screens);

// A logical rectangle local to a screen of logical size `logical`, in the
// pixels of that screen's image of size `imageSize`: edges rounded outwards,
// so that no logical pixel asked for is left out, and clipped to the image.
QRect toImage(const QRect& local, QSize logical, QSize imageSize);

} // namespace DesktopImageLayout
