#include "views/RelativeTimeFormatter.h"

#include <array>
#include <cstdlib>

namespace RelativeTimeFormatter {

namespace {

struct Unit
{
    qint64 seconds;
    const char* past;   // %1 is the count
    const char* future; // likewise
    const char* singularPast = nullptr;
    const char* singularFuture = nullptr;
};

constexpr qint64 kMinute = 60;
constexpr qint64 kHour = 60 * kMinute;
constexpr qint64 kDay = 24 * kHour;

// Largest first; the first unit that fits at least once names the span.
constexpr std::array<Unit, 7> kUnits{{
    {365 * kDay, "%1 yr. ago", "in %1 yr."},
    {30 * kDay, "%1 mo. ago", "in %1 mo."},
    {7 * kDay, "%1 wk. ago", "in %1 wk."},
    {kDay, "%1 days ago", "in %1 days", "1 day ago", "in 1 day"},
    {kHour, "%1 hr. ago", "in %1 hr."},
    {kMinute, "%1 min. ago", "in %1 min."},
    {1, "%1 sec. ago", "in %1 sec."},
}};

} // namespace

QString shortText(const QDateTime& date, const QDateTime& now)
{
    if (!date.isValid() || !now.isValid()) {
        return {};
    }
    const qint64 elapsed = date.secsTo(now);
    const qint64 span = std::llabs(elapsed);
    const bool past = elapsed > 0;
    for (const Unit& unit : kUnits) {
        const qint64 count = span / unit.seconds;
        if (count == 0) {
            continue;
        }
        const char* singular = past ? unit.singularPast : unit.singularFuture;
        if (count == 1 && singular) {
            return QString::fromLatin1(singular);
        }
        return QString::fromLatin1(past ? unit.past : unit.future).arg(count);
    }
    return QStringLiteral("now");
}

} // namespace RelativeTimeFormatter
