#pragma once

#include <QImage>
#include <QWidget>

// The "Copied to Clipboard" toast: a rounded card with a green check mark
// above the text, centred in the widget with room around it for its shadow.
class HUDView : public QWidget
{
    Q_OBJECT
public:
    explicit HUDView(QWidget* parent = nullptr);

    static QString text();

    // The card's own size, from its content and margins (the toast window is
    // larger, to leave room for the shadow).
    QSize fittingSize() const;
    QRectF cardRect() const;

    // Paints an opaque card and clips the widget to it, for screens where
    // no compositor blends translucent windows.
    void setOpaqueFallback(bool opaque);
    bool opaqueFallback() const { return m_opaque; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QFont textFont() const;
    void updateMask();

    bool m_opaque = false;
    QImage m_shadow;
};
