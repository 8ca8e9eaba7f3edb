#include "feedback/ToastView.h"

#include <QEvent>
#include <QPainter>

#include <algorithm>
#include <vector>

namespace {

// One pass of a running-sum box blur over the rows (or columns) of an Alpha8
// image. Three passes approximate a Gaussian closely enough for a shadow.
void boxBlurPass(QImage& image, int radius, bool horizontal)
{
    const int lines = horizontal ? image.height() : image.width();
    const int length = horizontal ? image.width() : image.height();
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

// A soft shadow of `shape` in `color`, larger than the shape by `radius` on
// every side: draw it at the shape's top-left minus `radius`.
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

} // namespace

ToastView::ToastView(const QString& text, const Style& style, QWidget* parent)
    : QWidget(parent), m_style(style)
{
    // Bypassing the window manager keeps the toast above everything, out of
    // the task bar and the focus chain, on every workspace.
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                   Qt::X11BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus |
                   Qt::WindowTransparentForInput);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11NetWmWindowTypeNotification);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setWindowTitle(QStringLiteral("quillsnap: ") + text);
    setAccessibleName(text);
}

void ToastView::setOpaqueFallback(bool opaque)
{
    m_opaque = opaque;
    reshape();
}

QRectF ToastView::cardRect() const
{
    const QSizeF card = cardSize();
    return {(width() - card.width()) / 2.0, (height() - card.height()) / 2.0, card.width(),
            card.height()};
}

QPainterPath ToastView::cardPath(const QRectF& rect) const
{
    QPainterPath path;
    path.addRoundedRect(rect, m_style.cornerRadius, m_style.cornerRadius);
    return path;
}

bool ToastView::isDark() const
{
    return palette().color(QPalette::Window).lightnessF() < 0.5;
}

void ToastView::reshape()
{
    m_shadow = QImage();
    if (m_opaque) {
        setMask(QRegion(cardPath(cardRect()).toFillPolygon().toPolygon()));
    } else {
        clearMask();
    }
    update();
}

void ToastView::resizeEvent(QResizeEvent* event)
{
    reshape();
    QWidget::resizeEvent(event);
}

void ToastView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange) {
        reshape();
    }
    QWidget::changeEvent(event);
}

void ToastView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF card = cardRect();
    const QPainterPath shape = cardPath(card);
    // A thin material: light or dark after the palette, mostly opaque so that
    // the text stays readable over anything.
    QColor material = isDark() ? QColor(38, 38, 42) : QColor(246, 246, 248);

    if (m_opaque) {
        // The mask shapes the card; filling the whole window leaves no
        // half-covered edge pixels to show black through it.
        painter.fillRect(rect(), material);
    } else {
        if (m_shadow.isNull()) {
            m_shadow = dropShadow(shape, m_style.shadow, m_style.shadowRadius);
        }
        // Only around the card: under its translucent fill the shadow would
        // show through as a grey smudge.
        QPainterPath outside;
        outside.addRect(rect());
        painter.save();
        painter.setClipPath(outside.subtracted(shape));
        const qreal r = m_style.shadowRadius;
        painter.drawImage(card.topLeft() - QPointF(r, r - m_style.shadowOffsetY), m_shadow);
        painter.restore();
        material.setAlphaF(0.9f);
        painter.fillPath(shape, material);
    }

    paintContent(painter, card);

    // A light edge vanishes on an opaque light card: a faint grey one there.
    const QColor edge = m_opaque && !isDark() ? QColor(0, 0, 0, 28) : m_style.edge;
    if (edge.alpha() > 0) {
        painter.setPen(QPen(edge, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(cardPath(card.adjusted(0.5, 0.5, -0.5, -0.5)));
    }
}
