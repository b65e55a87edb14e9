#include "format/StructFile.h"

#include "platform/FileSystem.h"

#include <algorithm>
#include <cstdint>

namespace ostrel {

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// Reads one line's items from a cursor; every read is bounds-checked so any byte sequence is
// safe to parse.
class StructLineParser final
{
public:
    explicit StructLineParser(std::string_view line) : m_line(line) {}

    PluStructEntry parse()
    {
        PluStructEntry entry;
        while (m_pos < m_line.size()) {
            const char key = m_line[m_pos++];
            if (!isKnownKey(key) || !skipToValue()) {
                break;
            }
            switch (key) {
            case 'C':
                entry.name = readName();
                break;
            case 'P':
                entry.fieldNumber = static_cast<int>(readDotted(0xFFFF) & 0x7FFF);
                break;
            case 'D':
            case 'M':
                readDotted(0xFFFFFFFF);
                break;
            case 'S':
            case 'N':
            case 'O':
                readDotted(0xFF);
                break;
            case 'U':
                skip(1);
                break;
            default: // 'L', 'Z', 'i'
                readDotted(0xFFFF);
                break;
            }
        }
        return entry;
    }

private:
    static bool isKnownKey(char key)
    {
        return std::string_view("CPDMSNOLZiU").find(key) != std::string_view::npos;
    }

    // Skips to just past the next '='; false when the line has none left.
    bool skipToValue()
    {
        const auto equals = m_line.find('=', m_pos);
        if (equals == std::string_view::npos) {
            m_pos = m_line.size();
            return false;
        }
        m_pos = equals + 1;
        return true;
    }

    void skip(std::size_t count) { m_pos = std::min(m_pos + count, m_line.size()); }

    // Two characters of count, only their leading hex digits counting, then that many
    // characters of name (fewer at the line's end), kept up to 63.
    std::string readName()
    {
        std::size_t count = 0;
        bool inDigits = true;
        for (int i = 0; i < 2 && m_pos < m_line.size(); ++i, ++m_pos) {
            const int digit = hexDigit(m_line[m_pos]);
            inDigits = inDigits && digit >= 0;
            if (inDigits) {
                count = count * 16 + static_cast<std::size_t>(digit);
            }
        }
        const std::string_view name = m_line.substr(m_pos, count);
        m_pos += name.size();
        return std::string(name.substr(0, kStructNameMax));
    }

    // Hex digits cut to the item's width; a following '.' ends the value and is consumed.
    std::uint32_t readDotted(std::uint32_t mask)
    {
        std::uint32_t value = 0;
        while (m_pos < m_line.size()) {
            const int digit = hexDigit(m_line[m_pos]);
            if (digit < 0) {
                break;
            }
            value = ((value << 4) | static_cast<std::uint32_t>(digit)) & mask;
            ++m_pos;
        }
        if (m_pos < m_line.size() && m_line[m_pos] == '.') {
            ++m_pos;
        }
        return value;
    }

    std::string_view m_line;
    std::size_t m_pos = 0;
};

std::string trimTrailingWhiteSpace(std::string text)
{
    const auto end = text.find_last_not_of(" \t\r\n\v\f");
    text.erase(end == std::string::npos ? 0 : end + 1);
    return text;
}

} // namespace

std::optional<PluStructEntry> parseStructLine(std::string_view line)
{
    line = line.substr(0, kStructLineMax);
    if (line.size() <= 9 || line.front() == ';') {
        return std::nullopt;
    }
    return StructLineParser(line).parse();
}

std::vector<PluStructEntry> parseStructText(std::string_view bytes)
{
    std::vector<PluStructEntry> entries;
    while (!bytes.empty() && entries.size() < kMaxStructEntries) {
        const auto newline = bytes.find('\n');
        const std::size_t lineLength =
            newline == std::string_view::npos ? bytes.size() : newline + 1;
        if (auto entry = parseStructLine(bytes.substr(0, lineLength))) {
            entries.push_back(std::move(*entry));
        }
        bytes.remove_prefix(lineLength);
    }
    return entries;
}

std::vector<PluField> buildPluFieldList(const std::vector<PluStructEntry>& entries)
{
    std::vector<PluField> fields;
    for (const auto& entry : entries) {
        if (fields.size() >= kMaxPluFields) {
            break;
        }
        if (entry.fieldNumber >= 1 && entry.fieldNumber <= kMaxPluFieldNumber) {
            fields.push_back({entry.fieldNumber, trimTrailingWhiteSpace(entry.name)});
        }
    }
    return fields;
}

std::vector<PluField> readPluFieldList(const std::string& path)
{
    const std::string target = resolvePath(path);
    if (!fileExists(target)) {
        return {};
    }
    const auto bytes = readWholeFile(target);
    return bytes ? buildPluFieldList(parseStructText(*bytes)) : std::vector<PluField>{};
}

} // namespace ostrel
