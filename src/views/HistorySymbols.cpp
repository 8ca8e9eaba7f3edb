#include "views/HistorySymbols.h"

#include "views/SymbolIcon.h"

#include <QPainter>
#include <QPainterPath>

#include <array>
#include <cmath>

namespace HistorySymbols {

namespace {

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

QPainterPath cloudPath()
{
    QPainterPath cloud;
    cloud.setFillRule(Qt::WindingFill);
    cloud.addEllipse(QPointF(8.0, 14.5), 4.8, 4.8);
    cloud.addEllipse(QPointF(13.5, 11.0), 6.0, 6.0);
    cloud.addEllipse(QPointF(18.2, 15.0), 4.2, 4.2);
    cloud.addRoundedRect(QRectF(5.0, 13.5, 16.5, 5.7), 2.8, 2.8);
    return cloud.simplified();
}

void icloudFill(QPainter& p, const QColor& c)
{
    p.setPen(Qt::NoPen);
    p.fillPath(cloudPath(), c);
}

void icloud(QPainter& p, const QColor& c)
{
    stroke(p, c, 1.7);
    p.drawPath(cloudPath());
}

void desktopComputer(QPainter& p, const QColor& c)
{
    stroke(p, c);
    p.drawRoundedRect(QRectF(2.5, 3.5, 19.0, 13.0), 2.0, 2.0);
    p.drawLine(QPointF(2.5, 13.5), QPointF(21.5, 13.5));
    p.drawLine(QPointF(10.0, 16.5), QPointF(9.0, 20.5));
    p.drawLine(QPointF(14.0, 16.5), QPointF(15.0, 20.5));
    p.drawLine(QPointF(7.0, 20.5), QPointF(17.0, 20.5));
}

void laptopComputer(QPainter& p, const QColor& c)
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

void clockArrowCirclepath(QPainter& p, const QColor& c)
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

void textWordSpacing(QPainter& p, const QColor& c)
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

void docOnDoc(QPainter& p, const QColor& c)
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

void trash(QPainter& p, const QColor& c)
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

void character(QPainter& p, const QColor& c)
{
    lettering(p, c, QStringLiteral("a"), 22);
}

void textformat(QPainter& p, const QColor& c)
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

void magnifyingGlass(QPainter& p, const QColor& c)
{
    stroke(p, c, 2.0);
    p.drawEllipse(QPointF(10.0, 10.0), 6.5, 6.5);
    p.drawLine(QPointF(14.8, 14.8), QPointF(20.5, 20.5));
}

void squareAndArrowUp(QPainter& p, const QColor& c)
{
    stroke(p, c, 1.7);
    p.drawPolyline(QPolygonF({QPointF(8.0, 10.0), QPointF(5.0, 10.0), QPointF(5.0, 21.0),
                              QPointF(19.0, 21.0), QPointF(19.0, 10.0), QPointF(16.0, 10.0)}));
    p.drawLine(QPointF(12.0, 2.5), QPointF(12.0, 15.0));
    p.drawPolyline(QPolygonF({QPointF(8.5, 6.0), QPointF(12.0, 2.5), QPointF(15.5, 6.0)}));
}

struct Entry
{
    QStringView name;
    void (*draw)(QPainter&, const QColor&);
};

constexpr std::array<Entry, 14> kSymbols{{
    {u"icloud.fill", icloudFill},
    {u"icloud", icloud},
    {u"desktopcomputer", desktopComputer},
    {u"laptopcomputer", laptopComputer},
    {u"clock", clock},
    {u"clock.arrow.circlepath", clockArrowCirclepath},
    {u"text.word.spacing", textWordSpacing},
    {u"doc.on.doc", docOnDoc},
    {u"trash", trash},
    {u"character", character},
    {u"textformat", textformat},
    {u"calendar", calendar},
    {u"magnifyingglass", magnifyingGlass},
    {u"square.and.arrow.up", squareAndArrowUp},
}};

} // namespace

bool paint(QPainter& painter, QStringView name, const QRectF& rect, const QColor& color)
{
    const auto it = std::find_if(kSymbols.begin(), kSymbols.end(),
                                 [name](const Entry& e) { return e.name == name; });
    if (it == kSymbols.end()) {
        return SymbolIcon::paint(painter, name, rect, color);
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const qreal side = std::min(rect.width(), rect.height());
    painter.translate(rect.center() - QPointF(side / 2, side / 2));
    painter.scale(side / kGrid, side / kGrid);
    it->draw(painter, color);
    painter.restore();
    return true;
}

QPixmap pixmap(QStringView name, int size, const QColor& color, qreal devicePixelRatio)
{
    return SymbolIcon::pixmap(&paint, name, size, color, devicePixelRatio);
}

} // namespace HistorySymbols
