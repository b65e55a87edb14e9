// Splitting one data line into column texts by the run's import format, separated or fixed.
#pragma once

#include "format/ImportFormat.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

using ColumnList = std::vector<std::string>;
// The run's lines of all data files, in file and line order.
using LineTable = std::vector<ColumnList>;

class LineSplitter final
{
public:
    LineSplitter() = default;
    explicit LineSplitter(const ImportFormat& format);

    // Separated type: the number of columns appended. Fixed type: one column per field
    // definition, result 1 when any definition has a start or length, else 0.
    int SplitLine(std::string_view line, ColumnList& columns) const;

    int fileType() const { return m_fileType; }
    // A separated line that begins with the comment marker: the end of a file's data.
    bool startsWithComment(std::string_view line) const
    {
        return m_fileType == kSeparatedType && !m_comment.empty() && line.starts_with(m_comment);
    }

private:
    int splitSeparated(std::string_view line, ColumnList& columns) const;
    int splitFixed(std::string_view line, ColumnList& columns) const;
    // Length of the separator at `pos`, 0 when it does not match there.
    std::size_t separatorAt(std::string_view line, std::size_t pos) const;

    int m_fileType = kSeparatedType;
    std::string m_separator;
    bool m_separatorIsCode = false; // "0x.." form: one byte of that value
    char m_separatorCode = 0;
    std::string m_comment;
    std::string m_quote;
    std::string m_end;
    std::array<bool, 256> m_markerStart{}; // bytes that can begin a marker
    std::vector<FixedFieldSpec> m_fixedFields;
    bool m_anyFixedField = false;
};

} // namespace ostrel
