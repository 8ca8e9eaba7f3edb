#pragma once

#include <QDateTime>
#include <QString>

// The short English relative times the history rows show: "now",
// "12 sec. ago", "5 min. ago", "3 hr. ago", "1 day ago", "2 wk. ago",
// "4 mo. ago", "1 yr. ago", and "in 5 min." for instants ahead of now (a
// capture synced from a machine whose clock runs fast). Elapsed time is
// truncated to the largest whole unit; days are spans of 24 hours, weeks of
// 7 days, months of 30 days and years of 365 days.
namespace RelativeTimeFormatter {

// Empty when either instant is invalid.
QString shortText(const QDateTime& date, const QDateTime& now);

} // namespace RelativeTimeFormatter
