// The few fields of a received PLU record that the simulated scale files its records under.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace ostrel::sim {

struct PluFields
{
    std::uint16_t department = 0;
    std::int32_t pluNumber = 0;
    std::int32_t itemCode = 0;
    std::int32_t price = 0;
    std::string name; // field 10, bytes as sent, up to its zero
};

// The record must be the full 5308 bytes.
PluFields decodePluFields(std::span<const std::uint8_t> record);

} // namespace ostrel::sim
