// plustruct.str: the PLU structure list supplied with the product, one PLU field per line in a
// compact item grammar, and the PLU field list built from it (the fields that can be mapped).
//
// A line of 9 bytes or fewer (line end counted) or one starting with ';' is ignored. Otherwise
// it is a run of items: a key letter, anything up to '=', then the value. "C": two hex digits n
// and then exactly n characters of name; "P": hex digits ended by '.', bits 0-14 the field
// number; "D", "M", "S", "N", "O", "L", "Z", "i": hex digits ended by '.', unused; "U": one
// character skipped. Any other letter, or the line's end, ends the line's parse.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

inline constexpr std::size_t kMaxStructEntries = 101;
inline constexpr std::size_t kMaxPluFields = 100;
inline constexpr std::size_t kStructLineMax = 1023;
inline constexpr std::size_t kStructNameMax = 63;
inline constexpr int kMaxPluFieldNumber = 101;

struct PluStructEntry
{
    std::string name; // at most 63 bytes, as stored (may end in blanks or the line end)
    int fieldNumber = 0;

    bool operator==(const PluStructEntry&) const = default;
};

// One line including its line end; nullopt when the line is ignored.
std::optional<PluStructEntry> parseStructLine(std::string_view line);

// Every entry of a whole file, at most 101. Lines end after '\n'; a line longer than 1023 bytes
// is cut there and the rest of it is dropped.
std::vector<PluStructEntry> parseStructText(std::string_view bytes);

struct PluField
{
    int number = 0;
    std::string name; // trailing white space removed

    bool operator==(const PluField&) const = default;
};

// Entries with a field number 1 to 101, in file order, at most 100.
std::vector<PluField> buildPluFieldList(const std::vector<PluStructEntry>& entries);

// The field list of a structure file; empty when the file does not exist.
std::vector<PluField> readPluFieldList(const std::string& path);

} // namespace ostrel
