#include "settings/UpdatePeriod.h"

#include "platform/IniFile.h"
#include "platform/Numbers.h"
#include "settings/TarvikKeys.h"

#include <algorithm>
#include <limits>

namespace ostrel {

UpdatePeriod computeUpdatePeriod(std::string_view cycle, std::string_view interval)
{
    std::int64_t unit = 3600;
    if (cycle == tarvik::kCycleMinutes) {
        unit = 60;
    } else if (cycle == tarvik::kCycleDays) {
        unit = 86400;
    }
    const std::int64_t count = std::max<std::int64_t>(atoiText(interval), 0);
    constexpr std::int64_t maxMs = std::numeric_limits<std::uint32_t>::max();
    const std::int64_t seconds = std::min(count * unit, maxMs / 1000);
    UpdatePeriod period;
    period.seconds = static_cast<std::uint32_t>(seconds);
    period.milliseconds = static_cast<std::uint32_t>(std::min(count * unit * 1000, maxMs));
    return period;
}

UpdatePeriod readUpdatePeriod(const std::string& tarvikIni)
{
    using namespace tarvik;
    return computeUpdatePeriod(
        readProfileString(kSectionCycle, kKeyUpdateCycle, "", kCycleCapacity, tarvikIni),
        readProfileString(kSectionCycle, kKeyUpdateInterval, "", kCycleCapacity, tarvikIni));
}

} // namespace ostrel
