// Private-profile (INI) access with the Windows semantics the settings files were written for.
//
// Reads: section and key names compare without regard to case; blanks and tabs around names
// and values are trimmed; one pair of matching surrounding quotes (" or ') is removed; only
// lines whose first non-blank character is ';' are comments; a section name ends at its first
// ']'; the first of duplicate sections or keys wins; lines without '=' are no keys; the value
// is cut to capacity-1 bytes; CR LF, LF and a lone CR each end a line.
//
// Writes keep every other byte of the file, put a new key after the last key of its section
// and a new section at the end, keep the file's line-end style (CR LF, LF or CR), replace the
// file atomically and never create folders.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// One parsed INI text. Lookups follow the read rules above; keeps no copy of the raw bytes.
class IniDocument
{
public:
    IniDocument() = default;
    static IniDocument parse(std::string_view bytes);

    // The value without capacity cut, or nullopt when the section or key is absent.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    bool hasSection(std::string_view section) const;
    // Keys of a section in file order (first occurrence of each), empty when absent.
    std::vector<std::string> keys(std::string_view section) const;

private:
    struct Entry
    {
        std::string key;
        std::string value;
    };
    struct Section
    {
        std::string name;
        std::vector<Entry> entries;
    };
    const Section* findSection(std::string_view section) const;
    std::vector<Section> m_sections;
};

// A default value as Windows returns it: trailing spaces removed, the first character kept.
std::string defaultWithoutTrailingSpaces(std::string_view defaultValue);

// GetPrivateProfileString: the value of the key, or `defaultValue` (trailing spaces removed)
// when the file, section or key is absent; at most capacity-1 bytes (capacity 0 gives "").
std::string readProfileString(std::string_view section, std::string_view key,
                              std::string_view defaultValue, std::size_t capacity,
                              const std::string& path);

// GetPrivateProfileInt-like helper built on readProfileString + atoi rules.
int readProfileInt(std::string_view section, std::string_view key, int defaultValue,
                   const std::string& path);

// WritePrivateProfileString: creates the file, the section and the key as needed. Fails
// (returns false, changes nothing) when the folder is missing or the file cannot be written.
bool writeProfileString(std::string_view section, std::string_view key, std::string_view value,
                        const std::string& path);

// The pure text transformation behind writeProfileString, for tests and fuzzing.
std::string applyProfileWrite(std::string_view original, std::string_view section,
                              std::string_view key, std::string_view value);

} // namespace ostrel
