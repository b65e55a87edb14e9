// The fixed-type field list as the designer edits it: one row per PLU field with its "Start",
// "End" and "Length" cells as texts (empty counts as 0), the selected row, the marks a mouse
// selection makes, and the rule that says which character of the sample line is marked.
#pragma once

#include "format/PrsFile.h"
#include "format/StructFile.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace ostrel {

struct FixedRowCells
{
    int fieldNumber = 0;
    std::string name;
    std::string start; // 0-based position of the first character, or ""
    std::string end;   // start + length, or ""
    std::string length;

    bool operator==(const FixedRowCells&) const = default;
};

// A selection in characters of the shown line.
struct MarkedSpan
{
    int start = 0;
    int end = 0; // just after the last selected character
    int length() const { return end - start; }
};

// The selection [s, e) over the sample box's whole text, `base` characters of it lying in the
// lines above the first visible one; nothing when no character is selected.
std::optional<MarkedSpan> spanOfSelection(std::size_t base, std::size_t s, std::size_t e);

// The strip's colour rule: the character at `position` is red when some row has an "End"
// above 0 with "Start" at most `position` and "End" beyond it.
bool isMarkedColumn(const std::vector<FixedRowCells>& rows, std::size_t position);

class FixedFieldRows final
{
public:
    // One row per field, the other cells empty; row 0 becomes the selected row
    // (none without rows).
    void fill(const std::vector<PluField>& fields);
    // Stored record n shows in row n: start, start + length and length, written for every
    // record, also an undefined one. Records beyond the last row change no row.
    void showStored(const std::vector<FixedFieldDef>& stored);

    // The selected row gets the span; false (no change) when no row is selected.
    bool mark(const MarkedSpan& span);
    void clearOne();
    void clearAll();

    // A click on `row`, or on no row (nullopt or outside the rows).
    void select(std::optional<std::size_t> row);
    std::optional<std::size_t> selected() const { return m_selected; }

    // Each row as it is stored: numbers read like atoi, the defined flag from start and length;
    // the "End" cell is not stored.
    std::vector<FixedFieldDef> definitions() const;

    const std::vector<FixedRowCells>& rows() const { return m_rows; }
    bool marked(std::size_t position) const { return isMarkedColumn(m_rows, position); }

private:
    std::vector<FixedRowCells> m_rows;
    std::optional<std::size_t> m_selected;
};

} // namespace ostrel
