#pragma once

#include "feedback/ToastView.h"

#include <QVariantAnimation>

// The "AI-Enhanced OCR" toast: a capsule with a wand, the text and pulsing
// sparkles, crossed by a slow light sweep while it is on screen.
class LoadingHUDView : public ToastView
{
    Q_OBJECT
public:
    explicit LoadingHUDView(QWidget* parent = nullptr);

    static QString text();
    QSize sizeHint() const override { return {360, 120}; }

    // 0 to 1, linear over 1.5 s, repeating: the position of the sweep.
    qreal animationProgress() const;
    // 0 to 1 and back, ease-in-out over 1 s each way: the sparkles' pulse.
    qreal sparklePhase() const;

protected:
    QSize cardSize() const override { return {300, 50}; }
    void paintContent(QPainter& painter, const QRectF& card) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QFont textFont() const;
    void paintWand(QPainter& painter, const QRectF& box, const QColor& color) const;
    void paintSparkles(QPainter& painter, const QRectF& box) const;

    // Both animations read their time from one clock of six seconds, the
    // shortest span in which both come back to their start.
    QVariantAnimation m_clock;
};
