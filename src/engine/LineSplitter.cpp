#include "engine/LineSplitter.h"

#include <cstdint>

namespace ostrel {

namespace {

bool isLeadingSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trimLeft(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && isLeadingSpace(text[i])) {
        ++i;
    }
    return text.substr(i);
}

std::string_view trimBoth(std::string_view text)
{
    text = trimLeft(text);
    while (!text.empty() && isLeadingSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool textAt(std::string_view line, std::size_t pos, std::string_view needle)
{
    return pos < line.size() && line.substr(pos).starts_with(needle);
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// The value of the hexadecimal digits after "0x", kept to one byte.
char separatorCode(std::string_view text)
{
    const auto at = text.find("0x");
    unsigned value = 0;
    for (std::size_t i = at + 2; i < text.size() && hexDigit(text[i]) >= 0; ++i) {
        value = ((value << 4) | static_cast<unsigned>(hexDigit(text[i]))) & 0xFFu;
    }
    return static_cast<char>(static_cast<std::uint8_t>(value));
}

} // namespace

LineSplitter::LineSplitter(const ImportFormat& format)
    : m_fileType(format.fileType), m_separator(format.text(kTextSeparator)),
      m_comment(format.text(kTextComment)), m_quote(format.text(kTextQuote)),
      m_end(format.text(kTextEnd)), m_fixedFields(format.fixedFields)
{
    // When a kind occurs more than once the last one counts.
    for (const auto& item : format.textSettings) {
        switch (item.kind) {
        case kTextSeparator:
            m_separator = item.text;
            break;
        case kTextComment:
            m_comment = item.text;
            break;
        case kTextQuote:
            m_quote = item.text;
            break;
        case kTextEnd:
            m_end = item.text;
            break;
        default:
            break;
        }
    }
    if (m_separator.find("0x") != std::string::npos) {
        m_separatorIsCode = true;
        m_separatorCode = separatorCode(m_separator);
    }
    for (const std::string* marker : {&m_separator, &m_comment, &m_quote, &m_end}) {
        if (!marker->empty() && !(marker == &m_separator && m_separatorIsCode)) {
            m_markerStart[static_cast<std::uint8_t>(marker->front())] = true;
        }
    }
    if (m_separatorIsCode) {
        m_markerStart[static_cast<std::uint8_t>(m_separatorCode)] = true;
    }
    for (const auto& field : m_fixedFields) {
        if (field.start != 0 || field.length != 0) {
            m_anyFixedField = true;
        }
    }
}

int LineSplitter::SplitLine(std::string_view line, ColumnList& columns) const
{
    return m_fileType == kFixedType ? splitFixed(line, columns) : splitSeparated(line, columns);
}

std::size_t LineSplitter::separatorAt(std::string_view line, std::size_t pos) const
{
    if (m_separatorIsCode) {
        return pos < line.size() && line[pos] == m_separatorCode ? 1 : 0;
    }
    if (m_separator.empty() || !textAt(line, pos, m_separator)) {
        return 0;
    }
    return m_separator.size();
}

int LineSplitter::splitSeparated(std::string_view line, ColumnList& columns) const
{
    const std::size_t before = columns.size();
    std::string current;
    bool inQuotes = false;
    bool ended = false;
    std::size_t p = 0;
    while (p < line.size()) {
        bool consumed = false;
        if (!m_comment.empty() && !inQuotes && textAt(line, p, m_comment)) {
            current.clear();
            break;
        }
        if (!m_quote.empty() && textAt(line, p, m_quote)) {
            inQuotes = !inQuotes;
            p += m_quote.size();
            consumed = true;
        }
        if (!inQuotes) {
            if (const std::size_t length = separatorAt(line, p); length > 0) {
                p += length;
                columns.push_back(std::move(current));
                current.clear();
                consumed = true;
            }
        }
        if (!m_end.empty() && !inQuotes && textAt(line, p, m_end)) {
            columns.emplace_back(trimLeft(current));
            current.clear();
            ended = true;
            break;
        }
        if (!consumed) {
            // A byte that starts no marker is plain; so are the ones after it up to the next
            // possible marker, which saves the marker tests for each of them.
            std::size_t q = p + 1;
            while (q < line.size() && !m_markerStart[static_cast<std::uint8_t>(line[q])]) {
                ++q;
            }
            current.append(line.substr(p, q - p));
            p = q;
        }
    }
    if (!ended && !current.empty()) {
        columns.emplace_back(trimLeft(current));
    }
    return static_cast<int>(columns.size() - before);
}

int LineSplitter::splitFixed(std::string_view line, ColumnList& columns) const
{
    for (const auto& field : m_fixedFields) {
        const std::int64_t end = std::int64_t{field.start} + field.length;
        // A start before the line or a negative length would read outside it.
        if (field.start < 0 || field.length <= 0 || end > static_cast<std::int64_t>(line.size())) {
            columns.emplace_back();
            continue;
        }
        columns.emplace_back(trimBoth(line.substr(static_cast<std::size_t>(field.start),
                                                  static_cast<std::size_t>(field.length))));
    }
    return m_anyFixedField ? 1 : 0;
}

} // namespace ostrel
