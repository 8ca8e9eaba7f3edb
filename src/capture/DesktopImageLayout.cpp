#include "capture/DesktopImageLayout.h"

#include <cmath>

namespace DesktopImageLayout {

QRect bounds(const QList<QRect>& screens)
{
    QRect all;
    for (const QRect& screen : screens) {
        all = all.united(screen);
    }
    return all;
}

QRect screenArea(const QRect& screen, const QRect& desktop, QSize imageSize)
{
    if (desktop.isEmpty() || imageSize.isEmpty()) {
        return {};
    }
    const double sx = double(imageSize.width()) / desktop.width();
    const double sy = double(imageSize.height()) / desktop.height();
    const auto edge = [](int logical, int origin, double scale) {
        return int(std::lround((logical - origin) * scale));
    };
    const int left = edge(screen.x(), desktop.x(), sx);
    const int top = edge(screen.y(), desktop.y(), sy);
    const int right = edge(screen.x() + screen.width(), desktop.x(), sx);
    const int bottom = edge(screen.y() + screen.height(), desktop.y(), sy);
    return QRect(left, top, right - left, bottom - top) & QRect(QPoint(), imageSize);
}

int screenFor(const QRect& region, const QList<QRect>& screens)
{
    int best = -1;
    qint64 bestArea = 0;
    for (int i = 0; i < screens.size(); ++i) {
        const QRect overlap = region & screens.at(i);
        const qint64 area = qint64(overlap.width()) * overlap.height();
        if (!overlap.isEmpty() && area > bestArea) {
            best = i;
            bestArea = area;
        }
    }
    return best;
}

QRect toImage(const QRect& local, QSize logical, QSize imageSize)
{
    if (logical.isEmpty() || imageSize.isEmpty()) {
        return {};
    }
    const double sx = double(imageSize.width()) / logical.width();
    const double sy = double(imageSize.height()) / logical.height();
    const int left = int(std::floor(local.x() * sx));
    const int top = int(std::floor(local.y() * sy));
    const int right = int(std::ceil((local.x() + local.width()) * sx));
    const int bottom = int(std::ceil((local.y() + local.height()) * sy));
    return QRect(left, top, right - left, bottom - top) & QRect(QPoint(), imageSize);
}

} // namespace DesktopImageLayout
