#include "PluFields.h"

#include <algorithm>

namespace ostrel::sim {

namespace {

constexpr std::size_t kDepartment = 0;
constexpr std::size_t kPluNumber = 2;
constexpr std::size_t kName = 7;
constexpr std::size_t kNameSlot = 101;
constexpr std::size_t kItemCode = 435;
constexpr std::size_t kPrice = 443;

std::uint32_t le(std::span<const std::uint8_t> record, std::size_t offset, std::size_t width)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < width; ++i)
        value |= std::uint32_t{record[offset + i]} << (8 * i);
    return value;
}

} // namespace

PluFields decodePluFields(std::span<const std::uint8_t> record)
{
    PluFields fields;
    fields.department = static_cast<std::uint16_t>(le(record, kDepartment, 2));
    fields.pluNumber = static_cast<std::int32_t>(le(record, kPluNumber, 4));
    fields.itemCode = static_cast<std::int32_t>(le(record, kItemCode, 4));
    fields.price = static_cast<std::int32_t>(le(record, kPrice, 4));
    const auto slot = record.subspan(kName, kNameSlot);
    const auto end = std::find(slot.begin(), slot.end(), std::uint8_t{0});
    fields.name.assign(slot.begin(), end);
    return fields;
}

} // namespace ostrel::sim
