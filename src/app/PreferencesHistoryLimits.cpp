#include "app/PreferencesHistoryLimits.h"

#include "history/HistoryService.h"
#include "settings/Preferences.h"

#include <algorithm>
#include <limits>

PreferencesHistoryLimits::PreferencesHistoryLimits(const Preferences& preferences)
    : m_preferences(preferences)
{
}

qsizetype PreferencesHistoryLimits::maxItems() const
{
    return qsizetype(std::min<qint64>(m_preferences.maxHistoryItems(), HistoryService::maxItems));
}

int PreferencesHistoryLimits::retentionDays() const
{
    return int(
        std::min<qint64>(m_preferences.autoDeleteAfterDays(), std::numeric_limits<int>::max()));
}
