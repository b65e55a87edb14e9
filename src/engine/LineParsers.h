// Turning one line's columns into a PluRecord: the separated type by the PluID.ini column
// order, the fixed type by its fixed column order.
#pragma once

#include "engine/LineSplitter.h"
#include "engine/PluRecord.h"
#include "engine/ReplaceRules.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace ostrel {

// What one separated line's parse reads; refreshed before each line (ImportSources).
struct SeparatedParseInputs
{
    std::span<const int> columnFields; // field number per column position, PluID.ini order
    const ReplaceRuleTable* rules = nullptr;
    bool itemIsPlu = false;
    int decimalPoint = 0; // number of decimals of the price
};

// Fixed column position -> field number.
inline constexpr std::array<int, 49> kFixedColumnFields{1,  2,  4,  11, 10, 30,  31, 9,  // 0-7
                                                        49, 80, 81, 55, 5,  100, 3,  14, // 8-15
                                                        15, 26, 6,  91, 8,  13,  12, 24, // 16-23
                                                        23, 85, 86, 20, 18, 19,  16, 17, // 24-31
                                                        22, 25, 35, 50, 70, 90,  71, 69, // 32-39
                                                        64, 68, 60, 61, 65, 62,  66, 99, // 40-47
                                                        101};

// A number field whose text holds more than the number read from it ("12kg", "3.5O", "n/a"):
// the line is still sent as read, and the run warns about it.
struct PartialRead
{
    int field = 0; // 0: every number field of the line was read whole
    std::string text;
    std::int64_t value = 0;
};

// The price with `decimals` decimals as an integer: 12.5 -> 1250 for 2, no rounding. "." and
// "," are both decimal marks; with both in the text the last one is, and the other is dropped
// ("1.234,50" -> 123450).
int ScaleDecimal(std::string_view text, int decimals);
// Whether ScaleDecimal reads the text whole (a fraction cut to the decimals counts as whole).
bool priceReadWhole(std::string_view text);
// Whether a number read the atoi way takes the whole text: blanks, a sign, digits, blanks.
bool numberReadWhole(std::string_view text);
// The first two characters as a number when the text has three or more, else the whole text.
int LeadingNumber(std::string_view text);

// Result: 3 (record) or 4 (field 101 applied) with `record` filled, 0 when the line yields no
// record (then `record` is untouched). A data kind below 1 gives 3 and leaves `record` alone.
// `partial`, when given, gets the line's first number field read only in part. A fixed-type
// price with a decimal mark is scaled by `decimalPoint`; one without is in minor units.
int ParseSeparatedLine(int dataKind, PluRecord& record, const ColumnList& columns,
                       const SeparatedParseInputs& inputs, PartialRead* partial = nullptr);
int ParseFixedLine(int dataKind, PluRecord& record, const ColumnList& columns,
                   const ReplaceRuleTable& rules, int decimalPoint, PartialRead* partial = nullptr);

} // namespace ostrel
