#include "feedback/HUDView.h"

#include "feedback/ToastPainting.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>

namespace {
// Card geometry in logical pixels.
constexpr int marginX = 28;
constexpr int marginY = 24;
constexpr int cornerRadius = 20;
constexpr int backdropSize = 64;
constexpr int symbolSize = 40;
constexpr int spacing = 12;
constexpr int shadowRadius = 30;
constexpr int shadowOffsetY = 15;
const QColor green(52, 199, 89);

QPainterPath cardPath(const QRectF& rect)
{
    QPainterPath path;
    path.addRoundedRect(rect, cornerRadius, cornerRadius);
    return path;
}
} // namespace

HUDView::HUDView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAccessibleName(text());
}

QString HUDView::text()
{
    return QStringLiteral("Copied to Clipboard");
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

QSize HUDView::fittingSize() const
{
    const QFontMetrics metrics(textFont());
    const int contentWidth = std::max(backdropSize, metrics.horizontalAdvance(text()));
    const int contentHeight = backdropSize + spacing + metrics.height();
    return {contentWidth + 2 * marginX, contentHeight + 2 * marginY};
}

QRectF HUDView::cardRect() const
{
    const QSizeF card = fittingSize();
    return {(width() - card.width()) / 2.0, (height() - card.height()) / 2.0, card.width(),
            card.height()};
}

void HUDView::setOpaqueFallback(bool opaque)
{
    m_opaque = opaque;
    updateMask();
    update();
}

void HUDView::updateMask()
{
    if (m_opaque) {
        setMask(QRegion(cardPath(cardRect()).toFillPolygon().toPolygon()));
    } else {
        clearMask();
    }
}

void HUDView::resizeEvent(QResizeEvent* event)
{
    m_shadow = QImage();
    updateMask();
    QWidget::resizeEvent(event);
}

void HUDView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange) {
        m_shadow = QImage();
        updateMask();
        update();
    }
    QWidget::changeEvent(event);
}

void HUDView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF card = cardRect();
    const QPainterPath shape = cardPath(card);

    if (!m_opaque) {
        if (m_shadow.isNull()) {
            m_shadow = ToastPainting::dropShadow(shape, QColor(0, 0, 0, 64), shadowRadius);
        }
        // Only around the card: under its translucent fill the shadow would
        // show through as a grey smudge.
        QPainterPath outside;
        outside.addRect(rect());
        painter.save();
        painter.setClipPath(outside.subtracted(shape));
        painter.drawImage(card.topLeft() - QPointF(shadowRadius, shadowRadius - shadowOffsetY),
                          m_shadow);
        painter.restore();
    }

    if (m_opaque) {
        // The mask shapes the card; filling the whole widget leaves no
        // half-covered edge pixels to show black through it.
        painter.fillRect(rect(), ToastPainting::materialColor(palette(), true));
    } else {
        painter.fillPath(shape, ToastPainting::materialColor(palette(), false));
    }
    // A hairline of white at 20 % lifts the edge off dark backgrounds; on an
    // opaque light card it would vanish, so it falls back to a faint grey.
    QColor stroke(255, 255, 255, 51);
    if (m_opaque && !ToastPainting::isDark(palette())) {
        stroke = QColor(0, 0, 0, 28);
    }
    painter.setPen(QPen(stroke, 1));
    painter.drawPath(cardPath(card.adjusted(0.5, 0.5, -0.5, -0.5)));

    const QFontMetrics metrics(textFont());
    const qreal contentHeight = backdropSize + spacing + metrics.height();
    const qreal top = card.top() + (card.height() - contentHeight) / 2.0;
    const QRectF backdrop(card.center().x() - backdropSize / 2.0, top, backdropSize, backdropSize);

    QLinearGradient backdropFill(backdrop.topLeft(), backdrop.bottomRight());
    QColor from = green;
    from.setAlphaF(0.2f);
    QColor to = green;
    to.setAlphaF(0.1f);
    backdropFill.setColorAt(0, from);
    backdropFill.setColorAt(1, to);
    painter.setPen(Qt::NoPen);
    painter.setBrush(backdropFill);
    painter.drawEllipse(backdrop);

    const QRectF symbol(backdrop.center().x() - symbolSize / 2.0,
                        backdrop.center().y() - symbolSize / 2.0, symbolSize, symbolSize);
    QLinearGradient symbolFill(symbol.topLeft(), symbol.bottomLeft());
    QColor fade = green;
    fade.setAlphaF(0.8f);
    symbolFill.setColorAt(0, green);
    symbolFill.setColorAt(1, fade);
    painter.fillPath(ToastPainting::checkMarkCircle(symbol), symbolFill);

    painter.setFont(textFont());
    painter.setPen(palette().color(QPalette::WindowText));
    const QRectF textRect(card.left(), backdrop.bottom() + spacing, card.width(), metrics.height());
    painter.drawText(textRect, Qt::AlignCenter, text());
}
