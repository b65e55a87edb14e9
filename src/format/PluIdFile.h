// PluID.ini: the column order of separated data files. [PLU ID] "ID%02d" holds the field number
// of column n ("%04d"), [PLU NAME] "NAME%02d" its field name (for display only).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

inline constexpr std::string_view kPluIdSection = "PLU ID";
inline constexpr std::string_view kPluNameSection = "PLU NAME";
inline constexpr std::size_t kPluIdWindowCapacity = 64;
inline constexpr std::size_t kPluIdParseCapacity = 128;

std::string pluIdKey(int column);   // "ID%02d", columns from 1
std::string pluNameKey(int column); // "NAME%02d"

struct PluIdColumn
{
    std::string idText; // as stored, e.g. "0005"
    std::string name;

    int fieldNumber() const; // the decimal value of idText
};

// Columns 1, 2, ... up to the first ID key that is absent or empty; nullopt when the file does
// not exist (the window then keeps its list).
std::optional<std::vector<PluIdColumn>> readPluIdFile(const std::string& path,
                                                      std::size_t capacity = kPluIdWindowCapacity);

// The field-number texts of the columns, in column order, from the INI text of PluID.ini, for
// callers that read the file once and split many lines with it.
std::vector<std::string> pluIdFieldNumberTexts(std::string_view iniBytes,
                                               std::size_t capacity = kPluIdParseCapacity);
std::vector<std::string> readPluIdFieldNumberTexts(const std::string& path,
                                                   std::size_t capacity = kPluIdParseCapacity);

struct PluIdRow
{
    int fieldNumber = 0;
    std::string name;
    bool operator==(const PluIdRow&) const = default;
};

// Writes ID/NAME keys 1..n for n rows; keys beyond n from an earlier, longer list stay and are
// read back. One atomic file write; false when it fails.
bool writePluIdFile(const std::string& path, const std::vector<PluIdRow>& rows);

} // namespace ostrel
