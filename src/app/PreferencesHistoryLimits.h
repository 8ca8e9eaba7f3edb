#pragma once

#include "history/HistoryLimits.h"

class Preferences;

// The history limits the user chose in the settings window, read afresh at
// every clean-up, so that a change takes effect at the next capture or start.
// "maxHistoryItems": 0 keeps no history at all, the most is the service's own
// limit, which is also the default; "autoDeleteAfterDays": 0 keeps captures
// however old, the default is the service's 30 days.
class PreferencesHistoryLimits final : public HistoryLimits
{
public:
    explicit PreferencesHistoryLimits(const Preferences& preferences);

    qsizetype maxItems() const override;
    int retentionDays() const override;

private:
    const Preferences& m_preferences;
};
