#include "views/RelativeTimeFormatter.h"

#include <QCoreApplication>

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
#define T(text) QT_TRANSLATE_NOOP("RelativeTimeFormatter", text)
constexpr std::array<Unit, 7> kUnits{{
    {365 * kDay, T("%1 yr. ago"), T("in %1 yr.")},
    {30 * kDay, T("%1 mo. ago"), T("in %1 mo.")},
    {7 * kDay, T("%1 wk. ago"), T("in %1 wk.")},
    {kDay, T("%1 days ago"), T("in %1 days"), T("1 day ago"), T("in 1 day")},
    {kHour, T("%1 hr. ago"), T("in %1 hr.")},
    {kMinute, T("%1 min. ago"), T("in %1 min.")},
    {1, T("%1 sec. ago"), T("in %1 sec.")},
}};
#undef T

QString translated(const char* text)
{
    return QCoreApplication::translate("RelativeTimeFormatter", text);
}

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
            return translated(singular);
        }
        return translated(past ? unit.past : unit.future).arg(count);
    }
    return translated(QT_TRANSLATE_NOOP("RelativeTimeFormatter", "now"));
}

} // namespace RelativeTimeFormatter
