#include "feedback/HUDView.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPathStroker>

namespace {
// Card geometry in logical pixels.
constexpr int marginX = 28;
constexpr int marginY = 24;
constexpr int backdropSize = 64;
constexpr int symbolSize = 40;
constexpr int spacing = 12;
const QColor green(52, 199, 89);

// A filled circle with a check mark cut out of it.
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

QColor withAlpha(QColor color, float alpha)
{
    color.setAlphaF(alpha);
    return color;
}
} // namespace

HUDView::HUDView(QWidget* parent)
    // The card draws its own shadow; a white hairline lifts its edge off dark
    // backgrounds.
    : ToastView(text(), {20, QColor(0, 0, 0, 64), 30, 15, QColor(255, 255, 255, 51)}, parent)
{
}

QString HUDView::text()
{
    return tr("Copied to Clipboard");
}

QFont HUDView::textFont() const
{
    // Sizes are logical pixels, so the text keeps its proportion to the
    // 64-pixel symbol whatever the screen's dots per inch.
    QFont f = font();
    f.setPixelSize(17);
    f.setWeight(QFont::DemiBold);
    return f;
}

QSize HUDView::cardSize() const
{
    const QFontMetrics metrics(textFont());
    const int contentWidth = std::max(backdropSize, metrics.horizontalAdvance(text()));
    const int contentHeight = backdropSize + spacing + metrics.height();
    return {contentWidth + 2 * marginX, contentHeight + 2 * marginY};
}

QSize HUDView::sizeHint() const
{
    return {360, std::max(240, cardSize().height() + 40)};
}

void HUDView::paintContent(QPainter& painter, const QRectF& card)
{
    const QFontMetrics metrics(textFont());
    const qreal contentHeight = backdropSize + spacing + metrics.height();
    const qreal top = card.top() + (card.height() - contentHeight) / 2.0;
    const QRectF backdrop(card.center().x() - backdropSize / 2.0, top, backdropSize, backdropSize);

    QLinearGradient backdropFill(backdrop.topLeft(), backdrop.bottomRight());
    backdropFill.setColorAt(0, withAlpha(green, 0.2f));
    backdropFill.setColorAt(1, withAlpha(green, 0.1f));
    painter.setPen(Qt::NoPen);
    painter.setBrush(backdropFill);
    painter.drawEllipse(backdrop);

    const QRectF symbol(backdrop.center().x() - symbolSize / 2.0,
                        backdrop.center().y() - symbolSize / 2.0, symbolSize, symbolSize);
    QLinearGradient symbolFill(symbol.topLeft(), symbol.bottomLeft());
    symbolFill.setColorAt(0, green);
    symbolFill.setColorAt(1, withAlpha(green, 0.8f));
    painter.fillPath(checkMarkCircle(symbol), symbolFill);

    painter.setFont(textFont());
    painter.setPen(palette().color(QPalette::WindowText));
    const QRectF textRect(card.left(), backdrop.bottom() + spacing, card.width(), metrics.height());
    painter.drawText(textRect, Qt::AlignCenter, text());
}
