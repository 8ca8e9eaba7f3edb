#include "SelectionGeometry.h"

#include <QtMath>

#include <algorithm>
#include <cmath>

namespace SelectionGeometry {

bool isDrag(QPointF press, QPointF current)
{
    const QPointF d = current - press;
    return std::max(std::abs(d.x()), std::abs(d.y())) >= clickTolerance;
}

QPoint toDevice(QPointF local, qreal devicePixelRatio)
{
    return QPoint(qFloor(local.x() * devicePixelRatio), qFloor(local.y() * devicePixelRatio));
}

static void span(int a, int b, int size, int* start, int* end)
{
    a = std::clamp(a, 0, size - 1);
    b = std::clamp(b, 0, size - 1);
    *start = std::min(a, b);
    *end = std::max(a, b);
    if (*end == size - 1) {
        *end = size;
    }
}

QRect between(QPoint press, QPoint current, QSize imageSize)
{
    if (imageSize.isEmpty()) {
        return {};
    }
    int left = 0, right = 0, top = 0, bottom = 0;
    span(press.x(), current.x(), imageSize.width(), &left, &right);
    span(press.y(), current.y(), imageSize.height(), &top, &bottom);
    return QRect(left, top, right - left, bottom - top);
}

} // namespace SelectionGeometry
