#include "views/SymbolIcon.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>

#include <array>
#include <cmath>

namespace SymbolIcon {

namespace {

// Every symbol is drawn on a 24 x 24 grid; the painter is scaled to the target.
constexpr qreal kGrid = 24.0;

QPen outlinePen(const QColor& color, qreal width = 1.8)
{
    QPen pen(color, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

void stroke(QPainter& p, const QColor& c, qreal width = 1.8)
{
    p.setPen(outlinePen(c, width));
    p.setBrush(Qt::NoBrush);
}

// Cuts a shape out of what is already drawn, so that marks on filled symbols
// show the background like the platform's filled symbols do.
void clearPath(QPainter& p, const QPainterPath& path, qreal width)
{
    p.save();
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.setBrush(Qt::NoBrush);
    p.setPen(outlinePen(Qt::black, width));
    p.drawPath(path);
    p.restore();
}

void textLines(QPainter& p, const QColor& c, qreal x,
               std::initializer_list<std::pair<qreal, qreal>> rows)
{
    p.setPen(outlinePen(c, 1.7));
    for (const auto& [y, length] : rows) {
        p.drawLine(QPointF(x, y), QPointF(x + length, y));
    }
}

void scanText(QPainter& p, const QColor& c)
{
    p.setPen(outlinePen(c, 2.0));
    p.setBrush(Qt::NoBrush);
    const qreal a = 2.5, b = 21.5, arm = 5.5;
    QPainterPath corners;
    corners.moveTo(a, a + arm);
    corners.lineTo(a, a + 2);
    corners.quadTo(a, a, a + 2, a);
    corners.lineTo(a + arm, a);
    corners.moveTo(b - arm, a);
    corners.lineTo(b - 2, a);
    corners.quadTo(b, a, b, a + 2);
    corners.lineTo(b, a + arm);
    corners.moveTo(b, b - arm);
    corners.lineTo(b, b - 2);
    corners.quadTo(b, b, b - 2, b);
    corners.lineTo(b - arm, b);
    corners.moveTo(a + arm, b);
    corners.lineTo(a + 2, b);
    corners.quadTo(a, b, a, b - 2);
    corners.lineTo(a, b - arm);
    p.drawPath(corners);
    textLines(p, c, 7.0, {{8.5, 10.0}, {12.0, 10.0}, {15.5, 6.5}});
}

void camera(QPainter& p, const QColor& c)
{
    p.setPen(outlinePen(c));
    p.setBrush(Qt::NoBrush);
    QPainterPath body;
    body.addRoundedRect(QRectF(2.5, 7.0, 19.0, 13.5), 3.0, 3.0);
    QPainterPath hump;
    hump.moveTo(8.0, 7.0);
    hump.lineTo(9.3, 4.5);
    hump.lineTo(14.7, 4.5);
    hump.lineTo(16.0, 7.0);
    p.drawPath(body.united(hump));
    p.drawEllipse(QPointF(12.0, 13.6), 3.9, 3.9);
}

QPainterPath page(qreal left, qreal top, qreal right, qreal bottom, qreal fold)
{
    QPainterPath path;
    path.moveTo(left + 1.5, top);
    path.lineTo(right - fold, top);
    path.lineTo(right, top + fold);
    path.lineTo(right, bottom - 1.5);
    path.quadTo(right, bottom, right - 1.5, bottom);
    path.lineTo(left + 1.5, bottom);
    path.quadTo(left, bottom, left, bottom - 1.5);
    path.lineTo(left, top + 1.5);
    path.quadTo(left, top, left + 1.5, top);
    return path;
}

void document(QPainter& p, const QColor& c)
{
    p.setPen(outlinePen(c));
    p.setBrush(Qt::NoBrush);
    p.drawPath(page(5.0, 2.5, 19.0, 21.5, 5.0));
    p.drawPolyline(QPolygonF({QPointF(14.0, 2.5), QPointF(14.0, 7.5), QPointF(19.0, 7.5)}));
    textLines(p, c, 8.5, {{11.5, 7.0}, {14.5, 7.0}, {17.5, 4.5}});
}

void clipboard(QPainter& p, const QColor& c)
{
    p.setPen(outlinePen(c));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(4.0, 4.5, 16.0, 17.5), 2.5, 2.5);
    p.setBrush(c);
    p.drawRoundedRect(QRectF(8.5, 2.2, 7.0, 4.2), 1.5, 1.5);
    textLines(p, c, 8.0, {{11.0, 8.0}, {14.5, 8.0}, {18.0, 5.0}});
}

void screenRecord(QPainter& p, const QColor& c)
{
    QPen dashed = outlinePen(c, 1.8);
    dashed.setCapStyle(Qt::FlatCap);
    dashed.setDashPattern({2.2, 1.6});
    p.setPen(dashed);
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(2.0, 4.0, 18.0, 14.0), 2.5, 2.5);
    QPainterPath ring;
    ring.addEllipse(QPointF(18.5, 17.5), 6.0, 6.0);
    p.save();
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.fillPath(ring, Qt::black);
    p.restore();
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QPointF(18.5, 17.5), 4.5, 4.5);
}

void checkCircle(QPainter& p, const QColor& c)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QPointF(12.0, 12.0), 10.5, 10.5);
    QPainterPath check;
    check.moveTo(7.2, 12.4);
    check.lineTo(10.6, 15.8);
    check.lineTo(16.9, 8.6);
    clearPath(p, check, 2.4);
}

void closeCircle(QPainter& p, const QColor& c)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QPointF(12.0, 12.0), 10.5, 10.5);
    QPainterPath cross;
    cross.moveTo(8.5, 8.5);
    cross.lineTo(15.5, 15.5);
    cross.moveTo(15.5, 8.5);
    cross.lineTo(8.5, 15.5);
    clearPath(p, cross, 2.2);
}

void hand(QPainter& p, const QColor& c)
{
    QPainterPath hand;
    hand.addRoundedRect(QRectF(6.0, 10.0, 13.0, 12.5), 5.0, 5.0);
    const std::array<QRectF, 4> fingers{QRectF(6.0, 4.5, 2.9, 10.0), QRectF(9.4, 2.0, 2.9, 12.0),
                                        QRectF(12.8, 2.8, 2.9, 11.0), QRectF(16.2, 5.0, 2.8, 9.0)};
    for (const QRectF& f : fingers) {
        QPainterPath finger;
        finger.addRoundedRect(f, 1.45, 1.45);
        hand = hand.united(finger);
    }
    QPainterPath thumb;
    thumb.addRoundedRect(QRectF(-1.45, -5.0, 2.9, 9.0), 1.45, 1.45);
    hand = hand.united(QTransform().translate(4.6, 14.2).rotate(-35).map(thumb));
    p.setPen(Qt::NoPen);
    p.fillPath(hand, c);
}

void keyboard(QPainter& p, const QColor& c)
{
    p.setPen(outlinePen(c));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(1.5, 5.5, 21.0, 13.0), 2.5, 2.5);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col < 5; ++col) {
            p.drawRoundedRect(QRectF(4.3 + col * 3.4, 8.0 + row * 3.0, 2.0, 1.8), 0.4, 0.4);
        }
    }
    p.drawRoundedRect(QRectF(7.5, 14.2, 9.0, 1.8), 0.5, 0.5);
}

void panel(QPainter& p, const QColor& c)
{
    const QRectF frame(2.0, 4.0, 20.0, 16.0);
    QPainterPath outline;
    outline.addRoundedRect(frame, 2.5, 2.5);
    QPainterPath bar;
    bar.addRect(QRectF(frame.left(), frame.top(), frame.width(), 4.5));
    p.setPen(Qt::NoPen);
    p.fillPath(outline.intersected(bar), c);
    // The tray icon, near the right end of the panel.
    QPainterPath icon;
    icon.addRoundedRect(QRectF(15.5, 5.0, 2.6, 2.5), 0.6, 0.6);
    p.save();
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.fillPath(icon, Qt::black);
    p.restore();
    p.setPen(outlinePen(c));
    p.setBrush(Qt::NoBrush);
    p.drawPath(outline);
}

// The history window's pictograms.

void sync(QPainter& p, const QColor& c)
{
    // Two arrows chasing each other round a circle.
    const QPointF centre(12.0, 12.0);
    const qreal r = 7.5;
    for (const qreal start : {25.0, 205.0}) {
        stroke(p, c, 2.2);
        p.drawArc(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), int(start * 16),
                  int(125 * 16));
        const qreal end = (start + 125.0) * M_PI / 180.0;
        const QPointF tip = centre + QPointF(r * std::cos(end), -r * std::sin(end));
        const QPointF ahead(-std::sin(end), -std::cos(end));
        const QPointF out(std::cos(end), -std::sin(end));
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawPolygon(QPolygonF({tip + ahead * 3.6, tip + out * 3.4, tip - out * 3.4}));
    }
}

void computer(QPainter& p, const QColor& c)
{
    stroke(p, c);
    p.drawRoundedRect(QRectF(2.5, 3.5, 19.0, 13.0), 2.0, 2.0);
    p.drawLine(QPointF(2.5, 13.5), QPointF(21.5, 13.5));
    p.drawLine(QPointF(10.0, 16.5), QPointF(9.0, 20.5));
    p.drawLine(QPointF(14.0, 16.5), QPointF(15.0, 20.5));
    p.drawLine(QPointF(7.0, 20.5), QPointF(17.0, 20.5));
}

void laptop(QPainter& p, const QColor& c)
{
    stroke(p, c);
    p.drawRoundedRect(QRectF(4.5, 5.0, 15.0, 10.5), 1.5, 1.5);
    QPainterPath base;
    base.moveTo(2.0, 18.0);
    base.lineTo(22.0, 18.0);
    base.quadTo(21.5, 19.8, 19.5, 19.8);
    base.lineTo(4.5, 19.8);
    base.quadTo(2.5, 19.8, 2.0, 18.0);
    p.drawPath(base);
}

void clock(QPainter& p, const QColor& c)
{
    stroke(p, c);
    p.drawEllipse(QPointF(12.0, 12.0), 9.0, 9.0);
    p.drawPolyline(QPolygonF({QPointF(12.0, 6.5), QPointF(12.0, 12.0), QPointF(15.8, 14.2)}));
}

void history(QPainter& p, const QColor& c)
{
    stroke(p, c, 1.6);
    // An open circle, like a clock face being wound back, with an arrow head
    // at its upper-left end.
    const QRectF face(3.0, 3.0, 18.0, 18.0);
    p.drawArc(face, 150 * 16, -300 * 16);
    const qreal angle = 150.0 * M_PI / 180.0;
    const QPointF end(12.0 + 9.0 * std::cos(angle), 12.0 - 9.0 * std::sin(angle));
    p.drawPolyline(QPolygonF({end + QPointF(-3.2, -0.6), end, end + QPointF(0.6, -3.4)}));
    p.drawPolyline(QPolygonF({QPointF(12.0, 7.5), QPointF(12.0, 12.0), QPointF(15.0, 14.0)}));
}

void wordCount(QPainter& p, const QColor& c)
{
    // Two words with the space between them bracketed underneath.
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(QRectF(2.0, 6.0, 7.0, 7.0), 1.2, 1.2);
    p.drawRoundedRect(QRectF(15.0, 6.0, 7.0, 7.0), 1.2, 1.2);
    stroke(p, c, 1.6);
    p.drawPolyline(QPolygonF(
        {QPointF(10.5, 15.5), QPointF(10.5, 18.0), QPointF(13.5, 18.0), QPointF(13.5, 15.5)}));
}

void copy(QPainter& p, const QColor& c)
{
    stroke(p, c, 1.7);
    p.drawRoundedRect(QRectF(8.0, 7.0, 12.0, 14.5), 2.0, 2.0);
    QPainterPath back;
    back.moveTo(4.0, 16.0);
    back.lineTo(4.0, 4.5);
    back.quadTo(4.0, 2.5, 6.0, 2.5);
    back.lineTo(14.5, 2.5);
    p.drawPath(back);
}

void trashCan(QPainter& p, const QColor& c)
{
    stroke(p, c, 1.7);
    p.drawLine(QPointF(3.5, 6.0), QPointF(20.5, 6.0));
    p.drawPolyline(
        QPolygonF({QPointF(9.0, 6.0), QPointF(9.5, 3.0), QPointF(14.5, 3.0), QPointF(15.0, 6.0)}));
    QPainterPath bin;
    bin.moveTo(5.5, 6.0);
    bin.lineTo(6.7, 19.5);
    bin.quadTo(6.9, 21.0, 8.4, 21.0);
    bin.lineTo(15.6, 21.0);
    bin.quadTo(17.1, 21.0, 17.3, 19.5);
    bin.lineTo(18.5, 6.0);
    p.drawPath(bin);
    p.drawLine(QPointF(10.0, 9.5), QPointF(10.3, 17.5));
    p.drawLine(QPointF(14.0, 9.5), QPointF(13.7, 17.5));
}

void lettering(QPainter& p, const QColor& c, const QString& text, int pixelSize)
{
    QFont f = p.font();
    f.setPixelSize(pixelSize);
    f.setBold(true);
    p.setFont(f);
    p.setPen(c);
    p.drawText(QRectF(0.0, 0.0, kGrid, kGrid), Qt::AlignCenter, text);
}

void textSize(QPainter& p, const QColor& c)
{
    lettering(p, c, QStringLiteral("a"), 22);
}

void characters(QPainter& p, const QColor& c)
{
    lettering(p, c, QStringLiteral("Aa"), 15);
}

void calendar(QPainter& p, const QColor& c)
{
    stroke(p, c, 1.7);
    const QRectF sheet(3.0, 4.5, 18.0, 16.5);
    p.drawRoundedRect(sheet, 2.5, 2.5);
    p.drawLine(QPointF(3.0, 9.0), QPointF(21.0, 9.0));
    p.drawLine(QPointF(8.0, 2.5), QPointF(8.0, 6.0));
    p.drawLine(QPointF(16.0, 2.5), QPointF(16.0, 6.0));
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col < 3; ++col) {
            p.drawEllipse(QPointF(7.5 + col * 4.5, 12.8 + row * 4.0), 1.0, 1.0);
        }
    }
}

void search(QPainter& p, const QColor& c)
{
    stroke(p, c, 2.0);
    p.drawEllipse(QPointF(10.0, 10.0), 6.5, 6.5);
    p.drawLine(QPointF(14.8, 14.8), QPointF(20.5, 20.5));
}

struct Entry
{
    QStringView name;
    void (*draw)(QPainter&, const QColor&);
};

constexpr std::array<Entry, 22> kSymbols{{
    {u"scan-text", scanText},
    {u"camera", camera},
    {u"document", document},
    {u"clipboard", clipboard},
    {u"screen-record", screenRecord},
    {u"check-circle", checkCircle},
    {u"close-circle", closeCircle},
    {u"hand", hand},
    {u"keyboard", keyboard},
    {u"panel", panel},
    {u"sync", sync},
    {u"computer", computer},
    {u"laptop", laptop},
    {u"clock", clock},
    {u"history", history},
    {u"word-count", wordCount},
    {u"copy", copy},
    {u"delete", trashCan},
    {u"text-size", textSize},
    {u"characters", characters},
    {u"calendar", calendar},
    {u"search", search},
}};

const Entry* find(QStringView name)
{
    for (const Entry& e : kSymbols) {
        if (e.name == name) {
            return &e;
        }
    }
    return nullptr;
}

} // namespace

bool paint(QPainter& painter, QStringView name, const QRectF& rect, const QColor& color)
{
    const Entry* entry = find(name);
    if (!entry) {
        return false;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const qreal side = std::min(rect.width(), rect.height());
    painter.translate(rect.center() - QPointF(side / 2, side / 2));
    painter.scale(side / kGrid, side / kGrid);
    entry->draw(painter, color);
    painter.restore();
    return true;
}

QPixmap pixmap(QStringView name, int size, const QColor& color, qreal devicePixelRatio)
{
    QPixmap pm(QSize(size, size) * devicePixelRatio);
    pm.setDevicePixelRatio(devicePixelRatio);
    pm.fill(Qt::transparent);
    QPainter painter(&pm);
    paint(painter, name, QRectF(0, 0, size, size), color);
    return pm;
}

QLabel* makeLabel(QStringView name, int size, const QColor& color, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setPixmap(pixmap(name, size, color, qApp->devicePixelRatio()));
    label->setFixedSize(size, size);
    label->setAlignment(Qt::AlignCenter);
    // Decorative: the text beside every symbol says what it means, so a
    // screen reader is given no name to read and the label takes no focus.
    label->setAccessibleName(QString());
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}

} // namespace SymbolIcon
