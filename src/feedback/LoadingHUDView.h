#pragma once

#include <QImage>
#include <QVariantAnimation>
#include <QWidget>

// The "AI-Enhanced OCR" toast: a capsule with a wand, the text and pulsing
// sparkles, crossed by a slow light sweep while it is on screen.
class LoadingHUDView : public QWidget
{
    Q_OBJECT
public:
    explicit LoadingHUDView(QWidget* parent = nullptr);

    static QString text();
    static QSize capsuleSize() { return {300, 50}; }
    QRectF capsuleRect() const;

    // 0 to 1, linear over 1.5 s, repeating: the position of the sweep.
    qreal animationProgress() const { return m_progress; }
    // 0 to 1 and back, ease-in-out over 1 s each way: the sparkles' pulse.
    qreal sparklePhase() const { return m_phase; }
    bool isAnimating() const;

    void setOpaqueFallback(bool opaque);
    bool opaqueFallback() const { return m_opaque; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QFont textFont() const;
    void updateMask();
    void paintWand(QPainter& painter, const QRectF& box, const QColor& color) const;
    void paintSparkles(QPainter& painter, const QRectF& box) const;

    QVariantAnimation m_sweep;
    QVariantAnimation m_pulse;
    qreal m_progress = 0;
    qreal m_phase = 0;
    bool m_opaque = false;
    QImage m_shadow;
};
