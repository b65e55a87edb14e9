// The separated type's column order list: row n is column n of a data line, with the PLU field
// it feeds and the value the sample's preview line holds there. Owns the rows, the selected row
// and the list rules (reload from PluID.ini, the structure order, moving a field up or down).
#pragma once

#include "format/PluIdFile.h"
#include "format/StructFile.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace ostrel {

struct ColumnRow
{
    int fieldNumber = 0;
    std::string name;  // code-page bytes
    std::string value; // code-page bytes, "" when the preview gave none

    bool operator==(const ColumnRow&) const = default;
};

class ColumnOrder final
{
public:
    const std::vector<ColumnRow>& rows() const { return m_rows; }
    // The row last clicked; it stays when the rows are reloaded, and Up and Down act only while
    // it lies within the rows.
    std::optional<std::size_t> selected() const { return m_selected; }
    void select(std::optional<std::size_t> row) { m_selected = row; }

    // The rows of PluID.ini with empty values; false, and the rows unchanged, when the file
    // does not exist.
    bool load(const std::string& pluIdIni);
    // Every listed PLU field in structure order, values empty.
    void setFields(const std::vector<PluField>& fields);
    // Value i goes to row i; values beyond the last row are dropped, rows beyond the last value
    // keep theirs.
    void setValues(const std::vector<std::string>& values);

    // Exchange the field (number and name) of the selected row with its neighbour; the values
    // stay where they are, and the selection follows the field. False when nothing moved: no
    // selection, or already the first (last) row.
    bool moveUp();
    bool moveDown();

    // The rows as PluID.ini stores them.
    std::vector<PluIdRow> idRows() const;

private:
    bool swapWith(std::size_t from, std::size_t to);

    std::vector<ColumnRow> m_rows;
    std::optional<std::size_t> m_selected;
};

} // namespace ostrel
