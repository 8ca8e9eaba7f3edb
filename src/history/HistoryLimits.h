#pragma once

#include <QtGlobal>

// How much history to keep, when the user has chosen something other than
// the history service's own limits.
class HistoryLimits
{
public:
    virtual ~HistoryLimits() = default;
    // The most records kept; at most HistoryService::maxItems.
    virtual qsizetype maxItems() const = 0;
    // Records older than this many days go; 0 keeps them however old.
    virtual int retentionDays() const = 0;
};
