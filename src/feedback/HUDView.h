#pragma once

#include "feedback/ToastView.h"

// The "Copied to Clipboard" toast: a rounded card with a green check mark
// above the text, with room around it for its shadow.
class HUDView : public ToastView
{
    Q_OBJECT
public:
    explicit HUDView(QWidget* parent = nullptr);

    static QString text();
    // 360 wide, at least 240 high: the card with room for its shadow.
    QSize sizeHint() const override;

protected:
    QSize cardSize() const override;
    void paintContent(QPainter& painter, const QRectF& card) override;

private:
    QFont textFont() const;
};
