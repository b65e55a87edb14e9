// The update timer's period from "Update Cycle" (the unit) and "Update Interval" (the count).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ostrel {

struct UpdatePeriod
{
    std::uint32_t seconds = 0;
    std::uint32_t milliseconds = 0; // 0: no timer runs (a 0 ms timer would spin)

    bool timerRuns() const { return milliseconds != 0; }
    bool operator==(const UpdatePeriod&) const = default;
};

// "minutes" 60, "hours" 3600, "days" 86400, compared exactly; any other unit counts as hours.
// The interval is the number at the start of its text. A negative or absent interval gives no
// timer; a period beyond 32-bit milliseconds is clamped to the largest one.
UpdatePeriod computeUpdatePeriod(std::string_view cycle, std::string_view interval);

// Both keys read afresh from Tarvik.ini (128-byte reads, empty defaults).
UpdatePeriod readUpdatePeriod(const std::string& tarvikIni);

} // namespace ostrel
