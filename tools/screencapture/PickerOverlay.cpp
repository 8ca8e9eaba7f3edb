#include "PickerOverlay.h"

#include "RegionPicker.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

const QColor dimColor(0, 0, 0, 120);
const QColor borderColor(0x3d, 0xae, 0xe9);
const QColor labelBackground(0, 0, 0, 190);
constexpr int labelMargin = 6;
constexpr int labelPadding = 4;

} // namespace

PickerOverlay::PickerOverlay(RegionPicker* picker, int index, QScreen* screen,
                             const QRect& geometry, const QImage& frozen)
    : m_picker(picker), m_index(index), m_frozen(frozen)
{
    // No window manager may be running (or it must not place us): bypass it
    // and give the geometry outright instead of asking for full screen.
    setFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
             Qt::X11BypassWindowManagerHint);
    setTitle(tr("quillsnap region picker"));
    setScreen(screen);
    setGeometry(geometry);
    setCursor(Qt::CrossCursor);
    m_frozen.setDevicePixelRatio(geometry.width() > 0 ? qreal(frozen.width()) / geometry.width()
                                                      : 1.0);
}

void PickerOverlay::setSelection(const QRect& selection)
{
    if (selection == m_selection) {
        return;
    }
    m_selection = selection;
    update();
}

void PickerOverlay::paintEvent(QPaintEvent*)
{
    if (!m_painted) {
        m_painted = true;
        // Queued: runs once this first frame has been flushed to the screen.
        QMetaObject::invokeMethod(
            this, [this] { m_picker->overlayShown(m_index); }, Qt::QueuedConnection);
    }
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), m_frozen);

    const qreal dpr = m_frozen.devicePixelRatio();
    const QRectF full(QPointF(0, 0), QSizeF(size()));
    if (m_selection.isEmpty()) {
        painter.fillRect(full, dimColor);
        return;
    }
    const QRectF sel(m_selection.x() / dpr, m_selection.y() / dpr, m_selection.width() / dpr,
                     m_selection.height() / dpr);
    // Dim everything around the selection, leaving it as it is.
    painter.fillRect(QRectF(0, 0, full.width(), sel.top()), dimColor);
    painter.fillRect(QRectF(0, sel.bottom(), full.width(), full.height() - sel.bottom()), dimColor);
    painter.fillRect(QRectF(0, sel.top(), sel.left(), sel.height()), dimColor);
    painter.fillRect(QRectF(sel.right(), sel.top(), full.width() - sel.right(), sel.height()),
                     dimColor);

    // A one-pixel frame just outside the selection, so none of it is covered.
    QPen pen(borderColor);
    pen.setCosmetic(true);
    pen.setWidth(1);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(sel.adjusted(-1.0 / dpr, -1.0 / dpr, 0, 0));

    paintSizeLabel(painter, sel);
}

void PickerOverlay::paintSizeLabel(QPainter& painter, const QRectF& sel)
{
    // Fonts are first touched here, after the overlay is up, so that the font
    // database costs nothing at start.
    const QString text = tr("%1 \u00d7 %2 px").arg(m_selection.width()).arg(m_selection.height());
    const QFontMetrics metrics(painter.font());
    const QSizeF box(metrics.horizontalAdvance(text) + 2 * labelPadding,
                     metrics.height() + 2 * labelPadding);
    const qreal w = width();
    const qreal h = height();

    // Below the selection; above it when there is no room; inside it as a last resort.
    QPointF at(sel.left(), sel.bottom() + labelMargin);
    if (at.y() + box.height() > h) {
        at.setY(sel.top() - labelMargin - box.height());
        if (at.y() < 0) {
            at.setY(sel.top() + labelMargin);
        }
    }
    at.setX(std::clamp(at.x(), 0.0, std::max(0.0, w - box.width())));

    const QRectF label(at, box);
    painter.setPen(Qt::NoPen);
    painter.setBrush(labelBackground);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.drawRoundedRect(label, 3, 3);
    painter.setPen(Qt::white);
    painter.drawText(label, Qt::AlignCenter, text);
}

void PickerOverlay::mousePressEvent(QMouseEvent* event)
{
    m_picker->pointerPressed(m_index, event->globalPosition(), event->button());
}

void PickerOverlay::mouseMoveEvent(QMouseEvent* event)
{
    m_picker->pointerMoved(event->globalPosition());
}

void PickerOverlay::mouseReleaseEvent(QMouseEvent* event)
{
    m_picker->pointerReleased(event->globalPosition(), event->button());
}

void PickerOverlay::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        m_picker->cancel();
    }
}
