#include "engine/PluRecord.h"

#include <algorithm>
#include <cstring>

namespace ostrel {

namespace {

constexpr bool layoutTilesRecord()
{
    std::size_t next = 0;
    for (const auto& slot : kPluLayout) {
        if (slot.offset != next || slot.width == 0) {
            return false;
        }
        next += slot.width;
    }
    return next == kPluRecordSize;
}
static_assert(layoutTilesRecord(), "the slots must cover the record without gaps or overlaps");

constexpr std::array<std::int16_t, kMaxFieldNumber + 1> buildFieldIndex()
{
    std::array<std::int16_t, kMaxFieldNumber + 1> index{};
    for (auto& entry : index) {
        entry = -1;
    }
    for (std::size_t i = 0; i < kPluLayout.size(); ++i) {
        const auto& slot = kPluLayout[i];
        if (slot.kind != SlotKind::Reserved && slot.kind != SlotKind::LongTextLength) {
            index[static_cast<std::size_t>(slot.fieldNumber)] = static_cast<std::int16_t>(i);
        }
    }
    return index;
}
constexpr auto kFieldIndex = buildFieldIndex();

constexpr std::size_t findLengthSlot()
{
    for (std::size_t i = 0; i < kPluLayout.size(); ++i) {
        if (kPluLayout[i].kind == SlotKind::LongTextLength) {
            return i;
        }
    }
    return kPluLayout.size();
}
constexpr std::size_t kLengthSlotIndex = findLengthSlot();
static_assert(kLengthSlotIndex < kPluLayout.size());

void storeLittleEndian(std::uint8_t* at, std::size_t width, std::uint64_t value)
{
    for (std::size_t i = 0; i < width; ++i) {
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint64_t loadLittleEndian(const std::uint8_t* at, std::size_t width)
{
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) {
        value |= static_cast<std::uint64_t>(at[i]) << (8 * i);
    }
    return value;
}

} // namespace

const PluSlot* slotForField(int fieldNumber)
{
    if (fieldNumber < 0 || fieldNumber > kMaxFieldNumber) {
        return nullptr;
    }
    const int index = kFieldIndex[static_cast<std::size_t>(fieldNumber)];
    return index < 0 ? nullptr : &kPluLayout[static_cast<std::size_t>(index)];
}

const PluSlot& longTextLengthSlot()
{
    return kPluLayout[kLengthSlotIndex];
}

void PluRecord::setDefaults()
{
    clear();
    storeNumber(*slotForField(1), 1);
}

void PluRecord::storeNumber(const PluSlot& slot, std::int64_t value)
{
    auto bits = static_cast<std::uint64_t>(value);
    switch (slot.kind) {
    case SlotKind::Number:
    case SlotKind::LongTextLength:
        break;
    case SlotKind::NumberZeroIsOne: {
        // Judged on the stored bits: a value whose low bits are 0 would reach the scale as 0.
        const std::uint64_t mask = slot.width >= 8 ? ~0ULL : (1ULL << (8 * slot.width)) - 1;
        if ((bits & mask) == 0) {
            bits = 1;
        }
        break;
    }
    case SlotKind::NumberLow16:
        bits &= 0xFFFFu;
        break;
    case SlotKind::Text:
    case SlotKind::Reserved:
        return;
    }
    storeLittleEndian(bytes.data() + slot.offset, std::min<std::size_t>(slot.width, 8), bits);
}

std::size_t PluRecord::storeText(const PluSlot& slot, std::string_view text)
{
    if (slot.kind != SlotKind::Text) {
        return 0;
    }
    const auto zero = text.find('\0');
    if (zero != std::string_view::npos) {
        text = text.substr(0, zero);
    }
    const std::size_t length = std::min(text.size(), slot.width - 1);
    std::uint8_t* at = bytes.data() + slot.offset;
    if (length > 0) {
        std::memcpy(at, text.data(), length);
    }
    std::memset(at + length, 0, slot.width - length);
    return length;
}

std::int64_t PluRecord::number(const PluSlot& slot) const
{
    if (slot.kind == SlotKind::Text || slot.width == 0 || slot.width > 8) {
        return 0;
    }
    const std::uint64_t raw = loadLittleEndian(bytes.data() + slot.offset, slot.width);
    if (slot.kind == SlotKind::NumberLow16 || slot.kind == SlotKind::LongTextLength ||
        slot.width == 8) {
        return static_cast<std::int64_t>(raw);
    }
    const std::uint64_t signBit = 1ULL << (8 * slot.width - 1);
    return static_cast<std::int64_t>((raw ^ signBit)) - static_cast<std::int64_t>(signBit);
}

std::string_view PluRecord::text(const PluSlot& slot) const
{
    if (slot.kind != SlotKind::Text) {
        return {};
    }
    const auto* begin = reinterpret_cast<const char*>(bytes.data() + slot.offset);
    return {begin, ::strnlen(begin, slot.width)};
}

std::optional<std::int64_t> PluRecord::numberOfField(int fieldNumber) const
{
    const PluSlot* slot = slotForField(fieldNumber);
    if (slot == nullptr || slot->kind == SlotKind::Text) {
        return std::nullopt;
    }
    return number(*slot);
}

std::optional<std::string_view> PluRecord::textOfField(int fieldNumber) const
{
    const PluSlot* slot = slotForField(fieldNumber);
    if (slot == nullptr || slot->kind != SlotKind::Text) {
        return std::nullopt;
    }
    return text(*slot);
}

} // namespace ostrel
