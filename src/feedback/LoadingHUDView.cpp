#include "feedback/LoadingHUDView.h"

#include <QEasingCurve>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>

namespace {
constexpr int glyphSize = 18;
constexpr int spacing = 10;
constexpr int sweepMs = 1500;
constexpr int pulseMs = 1000;
const QColor yellow(255, 204, 0);

// A four-pointed star with concave sides.
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

// Glyphs are drawn on an 18-unit grid; each star is its centre and radius.
struct Star
{
    qreal x, y, radius;
};

void fillStars(QPainter& painter, const QColor& color, qreal unit,
               std::initializer_list<Star> stars)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    for (const Star& star : stars) {
        painter.drawPath(sparkle(QPointF(star.x * unit, star.y * unit), star.radius * unit));
    }
}
} // namespace

LoadingHUDView::LoadingHUDView(QWidget* parent)
    : ToastView(text(), {25, QColor(0, 0, 0, 77), 10, 0, Qt::transparent}, parent)
{
    m_clock.setStartValue(0);
    m_clock.setEndValue(6 * pulseMs);
    m_clock.setDuration(6 * pulseMs);
    m_clock.setLoopCount(-1);
    connect(&m_clock, &QVariantAnimation::valueChanged, this, [this] { update(); });
}

QString LoadingHUDView::text()
{
    return tr("AI-Enhanced OCR");
}

qreal LoadingHUDView::animationProgress() const
{
    return (m_clock.currentTime() % sweepMs) / qreal(sweepMs);
}

qreal LoadingHUDView::sparklePhase() const
{
    const qreal t = (m_clock.currentTime() % (2 * pulseMs)) / qreal(pulseMs);
    return QEasingCurve(QEasingCurve::InOutQuad).valueForProgress(t <= 1 ? t : 2 - t);
}

QFont LoadingHUDView::textFont() const
{
    QFont f = font();
    f.setPixelSize(14);
    f.setWeight(QFont::Medium);
    return f;
}

void LoadingHUDView::showEvent(QShowEvent* event)
{
    m_clock.start();
    ToastView::showEvent(event);
}

void LoadingHUDView::hideEvent(QHideEvent* event)
{
    m_clock.stop();
    ToastView::hideEvent(event);
}

void LoadingHUDView::paintWand(QPainter& painter, const QRectF& box, const QColor& color) const
{
    // A wand from the lower left towards the middle, stars above its tip.
    const qreal u = box.width() / 18.0;
    painter.save();
    painter.translate(box.topLeft());
    painter.setPen(QPen(color, 2.2 * u, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(2 * u, 16 * u), QPointF(10.5 * u, 7.5 * u));
    fillStars(painter, color, u, {{13, 4.5, 4}, {16.5, 11, 1.8}, {6.5, 2.5, 1.6}});
    painter.restore();
}

void LoadingHUDView::paintSparkles(QPainter& painter, const QRectF& box) const
{
    const qreal u = box.width() / 18.0;
    const qreal phase = sparklePhase();
    painter.save();
    painter.translate(box.center());
    painter.scale(0.85 + 0.15 * phase, 0.85 + 0.15 * phase);
    painter.translate(-9 * u, -9 * u);
    painter.setOpacity(0.65 + 0.35 * phase);
    fillStars(painter, yellow, u, {{7.5, 10.5, 7}, {15, 3.5, 3}, {15.5, 15, 2.2}});
    painter.restore();
}

void LoadingHUDView::paintContent(QPainter& painter, const QRectF& capsule)
{
    const bool dark = isDark();
    {
        // The sweep: a soft band of light crossing the capsule left to right.
        painter.save();
        painter.setClipPath(cardPath(capsule));
        const qreal band = capsule.width() * 0.35;
        const qreal x = capsule.left() - band + animationProgress() * (capsule.width() + band);
        QLinearGradient light(x, 0, x + band, 0);
        light.setColorAt(0, QColor(255, 255, 255, 0));
        light.setColorAt(0.5, QColor(255, 255, 255, dark ? 40 : 150));
        light.setColorAt(1, QColor(255, 255, 255, 0));
        painter.fillRect(QRectF(x, capsule.top(), band, capsule.height()), light);
        painter.restore();
    }

    const QFont font = textFont();
    const QFontMetrics metrics(font);
    const qreal textWidth = metrics.horizontalAdvance(text());
    const qreal rowWidth = glyphSize + spacing + textWidth + spacing + glyphSize;
    const qreal left = capsule.center().x() - rowWidth / 2;
    const qreal glyphTop = capsule.center().y() - glyphSize / 2.0;

    // White at 70 % reads on a dark card; on a light one it would vanish, so
    // the wand takes the text colour at the same strength there.
    QColor wand = dark ? QColor(255, 255, 255) : palette().color(QPalette::WindowText);
    wand.setAlphaF(0.7f);
    paintWand(painter, QRectF(left, glyphTop, glyphSize, glyphSize), wand);

    painter.setFont(font);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(
        QRectF(left + glyphSize + spacing, capsule.top(), textWidth + 1, capsule.height()),
        Qt::AlignVCenter | Qt::AlignLeft, text());

    paintSparkles(painter, QRectF(left + rowWidth - glyphSize, glyphTop, glyphSize, glyphSize));
}
