// Sending only what changed ([SENDFILE] "ONLY CHANGED", off unless 1): a record that is byte
// for byte the one a scale last accepted for its department and PLU number is passed over. A
// scale gets a full send instead when "FULL EVERY DAYS" (default 7) have passed since its
// last one, when its model or version changed since, when the user asks, or when the journal
// knows nothing of it.
#pragma once

#include "engine/DeliveryJournal.h"
#include "engine/RunLines.h"
#include "engine/RunSettings.h"
#include "platform/FileSystem.h"

#include <string>

namespace ostrel {

struct DeltaSettings
{
    bool onlyChanged = false;
    int fullEveryDays = 7;
};
DeltaSettings readDeltaSettings(const std::string& tarvikIni);

// Days since 1970-01-01 of a local date.
std::int64_t dayNumber(const LocalTime& date);

// "v1,v2,v3,v4" of the scale's version numbers, as its state records them.
std::string scaleVersionText(const ScaleEntry& entry);

// Whether the scale's next send must be a full one.
bool fullSendDue(const std::optional<DeliveryJournal::ScaleState>& state, const ScaleEntry& entry,
                 std::int64_t today, const DeltaSettings& settings, bool requested);

HeldKey heldKeyOf(const RecordBytes& record);
// SHA-256 of the record up to its last non-zero byte: records are mostly zero padding, and
// their length is fixed, so equal hashes mean equal records all the same.
Sha256Digest recordDigest(const RecordBytes& record);

} // namespace ostrel
