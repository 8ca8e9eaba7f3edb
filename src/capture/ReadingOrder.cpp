#include "capture/ReadingOrder.h"

#include <algorithm>
#include <limits>

namespace ReadingOrder {
namespace {

// Minimum lines per side and minimum horizontal gap (normalised width) for a
// layout to count as two columns.
constexpr qsizetype kMinColumnLines = 4;
constexpr double kMinColumnGap = 0.05;

// Highest lower edge first; nothing else is compared, so the sort must be
// stable for lines of equal height to keep their input order.
void sortTopToBottom(QList<TextObservation>& list)
{
    std::stable_sort(list.begin(), list.end(),
                     [](const TextObservation& a, const TextObservation& b) {
                         return a.boundingBox.y > b.boundingBox.y;
                     });
}

} // namespace

QList<TextObservation> orderObservations(QList<TextObservation> observations)
{
    if (observations.isEmpty()) {
        return observations;
    }

    double sum = 0;
    for (const TextObservation& o : observations) {
        sum += o.boundingBox.x;
    }
    const double mean = sum / double(observations.size());

    QList<TextObservation> left;
    QList<TextObservation> right;
    for (const TextObservation& o : observations) {
        (o.boundingBox.x < mean ? left : right).append(o);
    }

    double leftMaxRight = -std::numeric_limits<double>::infinity();
    for (const TextObservation& o : left) {
        leftMaxRight = std::max(leftMaxRight, o.boundingBox.x + o.boundingBox.width);
    }
    double rightMinLeft = std::numeric_limits<double>::infinity();
    for (const TextObservation& o : right) {
        rightMinLeft = std::min(rightMinLeft, o.boundingBox.x);
    }

    // Both groups are non-empty whenever the size test passes, so the gap is finite there.
    if (left.size() >= kMinColumnLines && right.size() >= kMinColumnLines &&
        rightMinLeft - leftMaxRight > kMinColumnGap) {
        sortTopToBottom(left);
        sortTopToBottom(right);
        return left + right;
    }

    sortTopToBottom(observations);
    return observations;
}

QString joinObservations(const QList<TextObservation>& observations)
{
    QStringList lines;
    lines.reserve(observations.size());
    for (const TextObservation& o : observations) {
        if (!o.candidates.isEmpty()) {
            lines.append(o.candidates.first());
        }
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace ReadingOrder
