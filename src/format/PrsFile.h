// PLUPrs.prs: the fixed-type field definitions, a plain sequence of 116-byte records (no header,
// no count), one per listed PLU field in field-list order; integers 32-bit little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

inline constexpr std::size_t kPrsRecordSize = 116;
inline constexpr std::size_t kPrsNameSize = 100; // 99 bytes + terminating zero
inline constexpr std::size_t kMaxPrsRecords = 100;

struct FixedFieldDef
{
    std::int32_t fieldNumber = 0;
    std::string name;
    std::int32_t start = 0;  // 0-based character position in a data line
    std::int32_t length = 0; // characters
    std::int32_t defined = 0;

    bool operator==(const FixedFieldDef&) const = default;
};

// A definition with its defined flag set as every writer sets it: start >= 0 and length >= 1.
FixedFieldDef makeFixedFieldDef(std::int32_t fieldNumber, std::string name, std::int32_t start,
                                std::int32_t length);

// Whole records only (a shorter trailing piece is ignored), at most maxRecords of them. A name
// ends at its first zero byte and never runs past its slot.
std::vector<FixedFieldDef> parsePrsRecords(std::string_view bytes,
                                           std::size_t maxRecords = kMaxPrsRecords);
// nullopt when the file does not exist or cannot be read.
std::optional<std::vector<FixedFieldDef>> readPrsFile(const std::string& path);

// One record per definition; names longer than 99 bytes are cut, unused bytes are zero.
std::string serializePrsRecords(const std::vector<FixedFieldDef>& defs);

// Writes the records from the first byte on without shortening the file, so records of a
// longer earlier file beyond the new ones stay. The file is replaced atomically; false when it
// cannot be read or written (missing folder, no permission).
bool writePrsFile(const std::string& path, const std::vector<FixedFieldDef>& defs);

} // namespace ostrel
