#include "feedback/ToastPainting.h"

#include <QPainter>
#include <QPainterPathStroker>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// One pass of a running-sum box blur over the rows (or columns) of an Alpha8
// image. Three passes approximate a Gaussian closely enough for a shadow.
void boxBlurPass(QImage& image, int radius, bool horizontal)
{
    const int width = image.width();
    const int height = image.height();
    const int lines = horizontal ? height : width;
    const int length = horizontal ? width : height;
    const int window = 2 * radius + 1;
    std::vector<uchar> source(static_cast<size_t>(length));
    for (int line = 0; line < lines; ++line) {
        auto pixel = [&](int i) -> uchar& {
            return horizontal ? image.scanLine(line)[i] : image.scanLine(i)[line];
        };
        for (int i = 0; i < length; ++i) {
            source[static_cast<size_t>(i)] = pixel(i);
        }
        auto at = [&](int i) -> int {
            return (i < 0 || i >= length) ? 0 : source[static_cast<size_t>(i)];
        };
        int sum = 0;
        for (int i = -radius; i <= radius; ++i) {
            sum += at(i);
        }
        for (int i = 0; i < length; ++i) {
            pixel(i) = static_cast<uchar>(sum / window);
            sum += at(i + radius + 1) - at(i - radius);
        }
    }
}

} // namespace

namespace ToastPainting {

bool isDark(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightnessF() < 0.5;
}

QColor materialColor(const QPalette& palette, bool opaque)
{
    // A thin material: the window colour pulled slightly towards white (light)
    // or black (dark), mostly opaque so text stays readable over anything.
    QColor base = isDark(palette) ? QColor(38, 38, 42) : QColor(246, 246, 248);
    base.setAlphaF(opaque ? 1.0f : 0.9f);
    return base;
}

QImage dropShadow(const QPainterPath& shape, const QColor& color, int radius)
{
    const QRectF bounds = shape.boundingRect();
    const QSize size(qCeil(bounds.width()) + 2 * radius, qCeil(bounds.height()) + 2 * radius);
    QImage alpha(size, QImage::Format_Alpha8);
    alpha.fill(0);
    {
        QPainter painter(&alpha);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate(radius - bounds.left(), radius - bounds.top());
        painter.fillPath(shape, Qt::black);
    }
    // Three box passes of a third of the radius spread the shadow over about
    // `radius` pixels, which is what a shadow radius means to a designer.
    const int box = std::max(1, radius / 3);
    for (int pass = 0; pass < 3; ++pass) {
        boxBlurPass(alpha, box, true);
        boxBlurPass(alpha, box, false);
    }
    QImage shadow(size, QImage::Format_ARGB32_Premultiplied);
    shadow.fill(color);
    QPainter painter(&shadow);
    painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    painter.drawImage(0, 0, alpha);
    return shadow;
}

QPainterPath sparkle(QPointF centre, qreal radius)
{
    // Control points a little off the centre give the sides a soft curve.
    const qreal pull = radius * 0.12;
    QPainterPath path;
    path.moveTo(centre.x(), centre.y() - radius);
    path.quadTo(centre.x() + pull, centre.y() - pull, centre.x() + radius, centre.y());
    path.quadTo(centre.x() + pull, centre.y() + pull, centre.x(), centre.y() + radius);
    path.quadTo(centre.x() - pull, centre.y() + pull, centre.x() - radius, centre.y());
    path.quadTo(centre.x() - pull, centre.y() - pull, centre.x(), centre.y() - radius);
    path.closeSubpath();
    return path;
}

QPainterPath checkMarkCircle(const QRectF& bounds)
{
    QPainterPath circle;
    circle.addEllipse(bounds);
    const qreal d = bounds.width();
    QPainterPath check;
    check.moveTo(bounds.left() + d * 0.28, bounds.top() + d * 0.52);
    check.lineTo(bounds.left() + d * 0.44, bounds.top() + d * 0.67);
    check.lineTo(bounds.left() + d * 0.72, bounds.top() + d * 0.36);
    QPainterPathStroker stroker;
    stroker.setWidth(d * 0.1);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return circle.subtracted(stroker.createStroke(check));
}

} // namespace ToastPainting
