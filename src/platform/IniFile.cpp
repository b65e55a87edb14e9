// Private-profile reader and writer. Reading parses the whole text into sections; writing works
// on the raw bytes so that every line it does not own stays exactly as it was.
#include "platform/IniFile.h"

#include "platform/FileSystem.h"
#include "platform/Numbers.h"

#include <algorithm>

namespace ostrel {
namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trimBlanks(std::string_view text)
{
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lowerAscii(x) == lowerAscii(y);
           });
}

std::string_view stripQuotes(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value.remove_prefix(1);
        value.remove_suffix(1);
    }
    return value;
}

// One physical line of the file: its content (without line end) and where it lies.
struct Line
{
    std::string_view content;
    std::size_t begin = 0;    // offset of the first byte of the line
    std::size_t end = 0;      // offset just past the content
    std::size_t nextLine = 0; // offset just past the line end
    bool hasLineEnd = false;
};

// CR LF, LF and a lone CR (files from old Macintosh tools) each end a line, as Windows reads
// them.
std::vector<Line> splitLines(std::string_view bytes)
{
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t stop = bytes.find_first_of("\r\n", pos);
        Line line;
        line.begin = pos;
        if (stop == std::string_view::npos) {
            line.end = bytes.size();
            line.nextLine = bytes.size();
        } else {
            line.end = stop;
            const bool crLf =
                bytes[stop] == '\r' && stop + 1 < bytes.size() && bytes[stop + 1] == '\n';
            line.nextLine = stop + (crLf ? 2 : 1);
            line.hasLineEnd = true;
        }
        line.content = bytes.substr(line.begin, line.end - line.begin);
        lines.push_back(line);
        pos = line.nextLine;
    }
    return lines;
}

enum class LineKind
{
    Other, // blank, comment, or text without '='
    Section,
    Key
};

struct ClassifiedLine
{
    LineKind kind = LineKind::Other;
    std::string_view name;  // section or key name, trimmed
    std::string_view value; // key value, trimmed, quotes kept
};

ClassifiedLine classify(std::string_view content)
{
    ClassifiedLine result;
    const std::string_view text = trimBlanks(content);
    if (text.empty() || text.front() == ';') {
        return result;
    }
    if (text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close != std::string_view::npos) {
            result.kind = LineKind::Section;
            result.name = trimBlanks(text.substr(1, close - 1));
            return result;
        }
    }
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        return result;
    }
    result.kind = LineKind::Key;
    result.name = trimBlanks(text.substr(0, equals));
    result.value = trimBlanks(text.substr(equals + 1));
    return result;
}

// The style of the file's first line end; LF for a file without one.
std::string_view lineEndOf(std::string_view bytes)
{
    const std::size_t stop = bytes.find_first_of("\r\n");
    if (stop == std::string_view::npos || bytes[stop] == '\n') {
        return "\n";
    }
    return stop + 1 < bytes.size() && bytes[stop + 1] == '\n' ? "\r\n" : "\r";
}

// What ends a last line that has no line end of its own.
std::string_view completionOf(std::string_view text, std::string_view eol)
{
    if (text.empty() || text.back() == '\n' || text.back() == '\r') {
        return {};
    }
    return eol;
}

// A line can hold neither a line end nor, in a name, the characters that end a name.
std::string_view cutAtLineEnd(std::string_view text)
{
    const std::size_t stop = text.find_first_of("\r\n");
    return stop == std::string_view::npos ? text : text.substr(0, stop);
}

} // namespace

std::string defaultWithoutTrailingSpaces(std::string_view defaultValue)
{
    // Windows keeps the first character even when it is a space.
    while (defaultValue.size() > 1 && defaultValue.back() == ' ') {
        defaultValue.remove_suffix(1);
    }
    return std::string(defaultValue);
}

IniDocument IniDocument::parse(std::string_view bytes)
{
    IniDocument document;
    Section* current = nullptr;
    for (const Line& line : splitLines(bytes)) {
        const ClassifiedLine parsed = classify(line.content);
        if (parsed.kind == LineKind::Section) {
            document.m_sections.push_back(Section{std::string(parsed.name), {}});
            current = &document.m_sections.back();
        } else if (parsed.kind == LineKind::Key && current != nullptr) {
            current->entries.push_back(
                Entry{std::string(parsed.name), std::string(stripQuotes(parsed.value))});
        }
    }
    return document;
}

const IniDocument::Section* IniDocument::findSection(std::string_view section) const
{
    const std::string_view wanted = trimBlanks(section);
    for (const Section& candidate : m_sections) {
        if (equalsIgnoringCase(candidate.name, wanted)) {
            return &candidate;
        }
    }
    return nullptr;
}

std::optional<std::string> IniDocument::value(std::string_view section, std::string_view key) const
{
    const Section* found = findSection(section);
    if (found == nullptr) {
        return std::nullopt;
    }
    const std::string_view wanted = trimBlanks(key);
    for (const Entry& entry : found->entries) {
        if (equalsIgnoringCase(entry.key, wanted)) {
            return entry.value;
        }
    }
    return std::nullopt;
}

bool IniDocument::hasSection(std::string_view section) const
{
    return findSection(section) != nullptr;
}

std::vector<std::string> IniDocument::keys(std::string_view section) const
{
    std::vector<std::string> result;
    const Section* found = findSection(section);
    if (found == nullptr) {
        return result;
    }
    for (const Entry& entry : found->entries) {
        const bool seen = std::any_of(result.begin(), result.end(), [&](const std::string& k) {
            return equalsIgnoringCase(k, entry.key);
        });
        if (!seen) {
            result.push_back(entry.key);
        }
    }
    return result;
}

std::string readProfileString(std::string_view section, std::string_view key,
                              std::string_view defaultValue, std::size_t capacity,
                              const std::string& path)
{
    if (capacity == 0) {
        return {};
    }
    std::string result = defaultWithoutTrailingSpaces(defaultValue);
    if (const auto bytes = readWholeFile(resolvePath(path))) {
        if (auto value = IniDocument::parse(*bytes).value(section, key)) {
            result = std::move(*value);
        }
    }
    if (result.size() > capacity - 1) {
        result.resize(capacity - 1);
    }
    return result;
}

int readProfileInt(std::string_view section, std::string_view key, int defaultValue,
                   const std::string& path)
{
    const std::string text = readProfileString(section, key, "", 512, path);
    if (text.empty()) {
        return defaultValue;
    }
    return atoiText(text);
}

std::string applyProfileWrite(std::string_view original, std::string_view section,
                              std::string_view key, std::string_view value)
{
    const std::string_view wantedSection = trimBlanks(cutAtLineEnd(section));
    const std::string_view wantedKey = trimBlanks(cutAtLineEnd(key));
    const std::string_view newValue = cutAtLineEnd(value);
    const std::string_view eol = lineEndOf(original);

    const std::vector<Line> lines = splitLines(original);
    bool inSection = false;
    bool sectionFound = false;
    std::size_t insertAt = 0; // just past the header or the last key of the section

    for (const Line& line : lines) {
        const ClassifiedLine parsed = classify(line.content);
        if (parsed.kind == LineKind::Section) {
            if (sectionFound) {
                break; // only the first section of that name is ever read
            }
            inSection = equalsIgnoringCase(parsed.name, wantedSection);
            if (inSection) {
                sectionFound = true;
                insertAt = line.nextLine;
            }
            continue;
        }
        if (!inSection || parsed.kind != LineKind::Key) {
            continue;
        }
        if (equalsIgnoringCase(parsed.name, wantedKey)) {
            std::string replacement(parsed.name);
            replacement += '=';
            replacement += newValue;
            if (line.content == replacement) {
                return std::string(original);
            }
            std::string result(original.substr(0, line.begin));
            result += replacement;
            result += original.substr(line.end);
            return result;
        }
        insertAt = line.nextLine;
    }

    std::string keyLine(wantedKey);
    keyLine += '=';
    keyLine += newValue;
    keyLine += eol;

    if (sectionFound) {
        std::string result(original.substr(0, insertAt));
        result += completionOf(result, eol);
        result += keyLine;
        result += original.substr(insertAt);
        return result;
    }

    std::string result(original);
    result += completionOf(result, eol);
    result += '[';
    result += wantedSection;
    result += ']';
    result += eol;
    result += keyLine;
    return result;
}

bool writeProfileString(std::string_view section, std::string_view key, std::string_view value,
                        const std::string& path)
{
    const std::string target = resolvePath(path);
    std::string original;
    if (fileExists(target)) {
        auto bytes = readWholeFile(target);
        if (!bytes) {
            return false;
        }
        original = std::move(*bytes);
    }
    const std::string updated = applyProfileWrite(original, section, key, value);
    if (updated == original && fileExists(target)) {
        return true;
    }
    return writeFileAtomically(target, updated);
}

} // namespace ostrel
