#pragma once

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QWidget>

// A toast window: frameless, above other windows, out of the task bar, never
// focused and transparent to clicks. It paints a rounded card with a soft
// shadow, centred on a transparent background. Where no compositor blends
// translucent windows, transparent pixels show black: the card is then
// painted opaque and the window clipped to it instead.
class ToastView : public QWidget
{
    Q_OBJECT
public:
    void setOpaqueFallback(bool opaque);
    bool opaqueFallback() const { return m_opaque; }

protected:
    struct Style
    {
        qreal cornerRadius = 0;
        QColor shadow;
        int shadowRadius = 0;
        int shadowOffsetY = 0;
        // Drawn around a translucent card or a dark one; transparent: none.
        QColor edge;
    };

    // `text` names the window for accessibility tools and window searches.
    ToastView(const QString& text, const Style& style, QWidget* parent = nullptr);

    // The card's size; the card is centred in the window.
    virtual QSize cardSize() const = 0;
    // Everything on the card, painted over its fill.
    virtual void paintContent(QPainter& painter, const QRectF& card) = 0;

    QRectF cardRect() const;
    QPainterPath cardPath(const QRectF& rect) const;
    bool isDark() const;

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void reshape();

    Style m_style;
    bool m_opaque = false;
    QImage m_shadow;
};
