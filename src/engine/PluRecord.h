// The 5308-byte PLU record a data line becomes, and its layout: one table of slots that the
// line parsers, the tests and any decoder share.
#pragma once

#include "protocol/ScaleBlocks.h" // kPluRecordSize, kActionRecord: one definition for both sides

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace ostrel {

inline constexpr int kPluDataKind = 218;

// Record action codes handed to the scale with a record.
inline constexpr int kActionNone = 0;    // the line yields no record
inline constexpr int kActionSpecial = 4; // field 101 applied

enum class SlotKind : std::uint8_t
{
    Number,          // signed, little-endian, low bits of the value
    NumberZeroIsOne, // as Number; a stored 0 becomes 1 (department, field 4)
    NumberLow16,     // 32-bit slot holding the value's low 16 bits, zero-extended
    Text,            // zero-terminated, cut to width - 1 bytes
    LongTextLength,  // 16-bit byte count of the long text (field 99)
    Reserved         // always 0
};

struct PluSlot
{
    int fieldNumber; // 0 for reserved bytes
    std::size_t offset;
    std::size_t width; // bytes
    SlotKind kind;
};

// Every byte of the record, in offset order.
inline constexpr std::array<PluSlot, 51> kPluLayout{{
    {1, 0, 2, SlotKind::NumberZeroIsOne}, {2, 2, 4, SlotKind::Number},
    {4, 6, 1, SlotKind::NumberZeroIsOne}, {10, 7, 101, SlotKind::Text},
    {30, 108, 101, SlotKind::Text},       {31, 209, 101, SlotKind::Text},
    {9, 310, 2, SlotKind::Number},        {49, 312, 101, SlotKind::Text},
    {80, 413, 2, SlotKind::Number},       {81, 415, 2, SlotKind::Number},
    {55, 417, 2, SlotKind::Number},       {5, 419, 1, SlotKind::Number},
    {100, 420, 4, SlotKind::NumberLow16}, {3, 424, 11, SlotKind::Text},
    {11, 435, 4, SlotKind::Number},       {14, 439, 2, SlotKind::Number},
    {15, 441, 1, SlotKind::Number},       {26, 442, 1, SlotKind::Number},
    {6, 443, 4, SlotKind::Number},        {91, 447, 4, SlotKind::Number},
    {8, 451, 2, SlotKind::Number},        {13, 453, 4, SlotKind::Number},
    {12, 457, 2, SlotKind::Number},       {24, 459, 4, SlotKind::Number},
    {23, 463, 4, SlotKind::Number},       {85, 467, 2, SlotKind::Number},
    {86, 469, 2, SlotKind::Number},       {0, 471, 2, SlotKind::Reserved},
    {20, 473, 2, SlotKind::Number},       {18, 475, 2, SlotKind::Number},
    {19, 477, 2, SlotKind::Number},       {16, 479, 4, SlotKind::Number},
    {17, 483, 2, SlotKind::Number},       {22, 485, 2, SlotKind::Number},
    {25, 487, 2, SlotKind::Number},       {35, 489, 2, SlotKind::Number},
    {50, 491, 2, SlotKind::Number},       {70, 493, 2, SlotKind::Number},
    {90, 495, 2, SlotKind::Number},       {71, 497, 2, SlotKind::Number},
    {69, 499, 4, SlotKind::Number},       {64, 503, 2, SlotKind::Number},
    {68, 505, 4, SlotKind::Number},       {60, 509, 2, SlotKind::Number},
    {61, 511, 2, SlotKind::Number},       {65, 513, 4, SlotKind::Number},
    {62, 517, 2, SlotKind::Number},       {66, 519, 4, SlotKind::Number},
    {0, 523, 168, SlotKind::Reserved},    {99, 691, 2, SlotKind::LongTextLength},
    {99, 693, 4615, SlotKind::Text},
}};

// Field numbers are 1 to 101; 101 has no slot (it selects the action code).
inline constexpr int kMaxFieldNumber = 101;
inline constexpr int kLongTextField = 99;
inline constexpr int kActionField = 101;

// The slot that holds a field's value (for field 99 its text), nullptr when it has none.
const PluSlot* slotForField(int fieldNumber);
const PluSlot& longTextLengthSlot();

struct PluRecord
{
    std::array<std::uint8_t, kPluRecordSize> bytes{};

    void clear() { bytes.fill(0); }
    void setDefaults(); // the separated type starts from department 1

    // Stores a number by the slot's kind (low bits; zero-is-one; low 16 of field 100).
    void storeNumber(const PluSlot& slot, std::int64_t value);
    // Stores a text cut to the slot; a zero byte ends the text. Returns the bytes stored.
    std::size_t storeText(const PluSlot& slot, std::string_view text);

    // Decoding, for peers that receive records (the simulated scale, tools).
    std::int64_t number(const PluSlot& slot) const; // sign-extended, except NumberLow16
    std::string_view text(const PluSlot& slot) const;
    std::optional<std::int64_t> numberOfField(int fieldNumber) const;
    std::optional<std::string_view> textOfField(int fieldNumber) const;
};

static_assert(sizeof(PluRecord) == kPluRecordSize);

} // namespace ostrel
