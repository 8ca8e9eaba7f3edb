#include "feedback/LoadingHUDView.h"

#include "feedback/ToastPainting.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>

namespace {
constexpr int glyphSize = 18;
constexpr int spacing = 10;
constexpr int shadowRadius = 10;
const QColor yellow(255, 204, 0);

QPainterPath capsulePath(const QRectF& rect)
{
    QPainterPath path;
    path.addRoundedRect(rect, rect.height() / 2, rect.height() / 2);
    return path;
}
} // namespace

LoadingHUDView::LoadingHUDView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAccessibleName(text());

    m_sweep.setStartValue(0.0);
    m_sweep.setEndValue(1.0);
    m_sweep.setDuration(1500);
    m_sweep.setEasingCurve(QEasingCurve::Linear);
    m_sweep.setLoopCount(-1);
    connect(&m_sweep, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_progress = value.toReal();
        update();
    });

    // Runs forward, then backward, for ever: a pulse rather than a jump.
    m_pulse.setStartValue(0.0);
    m_pulse.setEndValue(1.0);
    m_pulse.setDuration(1000);
    m_pulse.setEasingCurve(QEasingCurve::InOutQuad);
    connect(&m_pulse, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_phase = value.toReal();
        update();
    });
    connect(&m_pulse, &QVariantAnimation::finished, this, [this] {
        if (!isVisible()) {
            return;
        }
        m_pulse.setDirection(m_pulse.direction() == QAbstractAnimation::Forward
                                 ? QAbstractAnimation::Backward
                                 : QAbstractAnimation::Forward);
        m_pulse.start();
    });
}

QString LoadingHUDView::text()
{
    return QStringLiteral("AI-Enhanced OCR");
}

bool LoadingHUDView::isAnimating() const
{
    return m_sweep.state() == QAbstractAnimation::Running &&
           m_pulse.state() == QAbstractAnimation::Running;
}

QFont LoadingHUDView::textFont() const
{
    QFont f = font();
    f.setPixelSize(14);
    f.setWeight(QFont::Medium);
    return f;
}

QRectF LoadingHUDView::capsuleRect() const
{
    const QSizeF size = capsuleSize();
    return {(width() - size.width()) / 2.0, (height() - size.height()) / 2.0, size.width(),
            size.height()};
}

void LoadingHUDView::setOpaqueFallback(bool opaque)
{
    m_opaque = opaque;
    updateMask();
    update();
}

void LoadingHUDView::updateMask()
{
    if (m_opaque) {
        setMask(QRegion(capsulePath(capsuleRect()).toFillPolygon().toPolygon()));
    } else {
        clearMask();
    }
}

void LoadingHUDView::resizeEvent(QResizeEvent* event)
{
    m_shadow = QImage();
    updateMask();
    QWidget::resizeEvent(event);
}

void LoadingHUDView::showEvent(QShowEvent* event)
{
    m_progress = 0;
    m_phase = 0;
    m_pulse.setDirection(QAbstractAnimation::Forward);
    m_sweep.start();
    m_pulse.start();
    QWidget::showEvent(event);
}

void LoadingHUDView::hideEvent(QHideEvent* event)
{
    m_sweep.stop();
    m_pulse.stop();
    QWidget::hideEvent(event);
}

void LoadingHUDView::paintWand(QPainter& painter, const QRectF& box, const QColor& color) const
{
    // A wand from the lower left towards the middle, stars above its tip.
    const qreal u = box.width() / 18.0;
    painter.save();
    painter.translate(box.topLeft());
    painter.setPen(QPen(color, 2.2 * u, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(2 * u, 16 * u), QPointF(10.5 * u, 7.5 * u));
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawPath(ToastPainting::sparkle(QPointF(13 * u, 4.5 * u), 4 * u));
    painter.drawPath(ToastPainting::sparkle(QPointF(16.5 * u, 11 * u), 1.8 * u));
    painter.drawPath(ToastPainting::sparkle(QPointF(6.5 * u, 2.5 * u), 1.6 * u));
    painter.restore();
}

void LoadingHUDView::paintSparkles(QPainter& painter, const QRectF& box) const
{
    const qreal u = box.width() / 18.0;
    painter.save();
    painter.translate(box.center());
    const qreal scale = 0.85 + 0.15 * m_phase;
    painter.scale(scale, scale);
    painter.translate(-9 * u, -9 * u);
    painter.setOpacity(0.65 + 0.35 * m_phase);
    painter.setPen(Qt::NoPen);
    painter.setBrush(yellow);
    painter.drawPath(ToastPainting::sparkle(QPointF(7.5 * u, 10.5 * u), 7 * u));
    painter.drawPath(ToastPainting::sparkle(QPointF(15 * u, 3.5 * u), 3 * u));
    painter.drawPath(ToastPainting::sparkle(QPointF(15.5 * u, 15 * u), 2.2 * u));
    painter.restore();
}

void LoadingHUDView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF capsule = capsuleRect();
    const QPainterPath shape = capsulePath(capsule);
    const bool dark = ToastPainting::isDark(palette());

    if (!m_opaque) {
        if (m_shadow.isNull()) {
            m_shadow = ToastPainting::dropShadow(shape, QColor(0, 0, 0, 77), shadowRadius);
        }
        // Only around the card: under its translucent fill the shadow would
        // show through as a grey smudge.
        QPainterPath outside;
        outside.addRect(rect());
        painter.save();
        painter.setClipPath(outside.subtracted(shape));
        painter.drawImage(capsule.topLeft() - QPointF(shadowRadius, shadowRadius), m_shadow);
        painter.restore();
    }
    if (m_opaque) {
        painter.fillRect(rect(), ToastPainting::materialColor(palette(), true));
    } else {
        painter.fillPath(shape, ToastPainting::materialColor(palette(), false));
    }

    // The sweep: a soft band of light crossing the capsule left to right.
    {
        painter.save();
        painter.setClipPath(shape);
        const qreal band = capsule.width() * 0.35;
        const qreal x = capsule.left() - band + m_progress * (capsule.width() + band);
        QLinearGradient light(x, 0, x + band, 0);
        const int peak = dark ? 40 : 150;
        light.setColorAt(0, QColor(255, 255, 255, 0));
        light.setColorAt(0.5, QColor(255, 255, 255, peak));
        light.setColorAt(1, QColor(255, 255, 255, 0));
        painter.fillRect(QRectF(x, capsule.top(), band, capsule.height()), light);
        painter.restore();
    }
    if (m_opaque && !dark) {
        painter.setPen(QPen(QColor(0, 0, 0, 28), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(capsulePath(capsule.adjusted(0.5, 0.5, -0.5, -0.5)));
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
