#pragma once

#include "history/HistoryItem.h"

#include <QList>

class HistoryService;

// Adding records from elsewhere (a file written by `quillsnap-cli history
// export --format json`) to the history, by id: a record whose id is there
// already is left out, so importing twice adds nothing.
namespace HistoryImport {

struct Outcome
{
    qsizetype added = 0;          // new records now in the history
    qsizetype alreadyPresent = 0; // records whose id the history holds
    qsizetype dropped = 0;        // new records past the history's age or count limit
};

// Imported records count as not uploaded: the next sync sends them, and a
// copy that is in the sync database already counts as sent. The list stays
// newest first and within its limits, and is saved.
Outcome merge(HistoryService& history, const QList<HistoryItem>& records);

} // namespace HistoryImport
