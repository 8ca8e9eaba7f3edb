#include "common/CaptureRegion.h"

#include <QCoreApplication>
#include <QStringList>

namespace CaptureRegion {

namespace {
// Far beyond any desktop, and small enough that X + W cannot overflow.
constexpr int maxCoordinate = 1 << 20;
} // namespace

Expected<QRect, QString> parse(const QString& text)
{
    const QStringList parts = text.split(u',');
    const auto bad = [&] {
        return unexpected(QCoreApplication::translate(
                              "CaptureRegion",
                              "'%1' is not a region: expected X,Y,WIDTH,HEIGHT in whole pixels, "
                              "for example 100,200,640,480")
                              .arg(text));
    };
    if (parts.size() != 4) {
        return bad();
    }
    int values[4] = {};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = parts.at(i).trimmed().toInt(&ok);
        if (!ok || values[i] < -maxCoordinate || values[i] > maxCoordinate) {
            return bad();
        }
    }
    if (values[2] < 1 || values[3] < 1) {
        return unexpected(QCoreApplication::translate(
                              "CaptureRegion", "'%1': the width and height must be at least 1")
                              .arg(text));
    }
    return QRect(values[0], values[1], values[2], values[3]);
}

QString format(const QRect& region)
{
    return QStringLiteral("%1,%2,%3,%4")
        .arg(region.x())
        .arg(region.y())
        .arg(region.width())
        .arg(region.height());
}

} // namespace CaptureRegion
