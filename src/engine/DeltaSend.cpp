#include "engine/DeltaSend.h"

#include "platform/IniFile.h"
#include "settings/TarvikKeys.h"

#include <algorithm>

namespace ostrel {

DeltaSettings readDeltaSettings(const std::string& tarvikIni)
{
    using namespace tarvik;
    DeltaSettings settings;
    settings.onlyChanged = readProfileInt(kSectionSendFile, kKeyOnlyChanged, 0, tarvikIni) == 1;
    settings.fullEveryDays =
        std::max(0, readProfileInt(kSectionSendFile, kKeyFullEveryDays, 7, tarvikIni));
    return settings;
}

std::int64_t dayNumber(const LocalTime& date)
{
    // Howard Hinnant's days_from_civil.
    const std::int64_t year = date.year - (date.month <= 2 ? 1 : 0);
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t month = date.month;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + date.day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

std::string scaleVersionText(const ScaleEntry& entry)
{
    return std::to_string(entry.version1) + "," + std::to_string(entry.version2) + "," +
           std::to_string(entry.version3) + "," + std::to_string(entry.version4);
}

bool fullSendDue(const std::optional<DeliveryJournal::ScaleState>& state, const ScaleEntry& entry,
                 std::int64_t today, const DeltaSettings& settings, bool requested)
{
    return requested || !state || today - state->lastFullDay >= settings.fullEveryDays ||
           state->model != entry.modelName || state->version != scaleVersionText(entry);
}

HeldKey heldKeyOf(const RecordBytes& record)
{
    // Department: 16 bits at 0; PLU number: 32 bits at 2; both little-endian.
    const int department = record[0] | (record[1] << 8);
    const std::int64_t plu = static_cast<std::int32_t>(
        std::uint32_t{record[2]} | (std::uint32_t{record[3]} << 8) |
        (std::uint32_t{record[4]} << 16) | (std::uint32_t{record[5]} << 24));
    return {department, plu};
}

Sha256Digest recordDigest(const RecordBytes& record)
{
    std::size_t used = record.size();
    while (used > 0 && record[used - 1] == 0) {
        --used;
    }
    return sha256({record.data(), used});
}

} // namespace ostrel
