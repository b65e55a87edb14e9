// Opening the delivery journal for the engine: a journal that SQLite cannot read or that fails
// its check is set aside (renamed, never deleted) and a fresh one made, and a journal that
// vanished while catch-ups were owed is noticed; either way the user is told which data files
// may still be owed to a scale, so they can be sent again.
#pragma once

#include "engine/DeliveryJournal.h"

#include <memory>
#include <string>

namespace ostrel {

struct JournalOpening
{
    std::unique_ptr<DeliveryJournal> journal; // nullptr when none could be made
    std::string error;                        // why there is none
    std::string notice; // what the user is told once: lost delivery state, "" when none
};

// `journalPath` is Log/delivery.db, `runResultPath` Log/last-run.json (its owed catch-ups name
// the files), `searchPattern` the data files' pattern (whose backups are named when the last
// run's result does not tell).
JournalOpening openDeliveryJournal(const std::string& journalPath, const std::string& runResultPath,
                                   const std::string& searchPattern);

} // namespace ostrel
