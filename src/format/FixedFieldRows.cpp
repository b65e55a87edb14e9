#include "format/FixedFieldRows.h"

#include "platform/Numbers.h"

namespace ostrel {

std::optional<MarkedSpan> spanOfSelection(std::size_t base, std::size_t s, std::size_t e)
{
    if (s >= e || s < base) {
        return std::nullopt;
    }
    return MarkedSpan{static_cast<int>(s - base), static_cast<int>(e - base)};
}

bool isMarkedColumn(const std::vector<FixedRowCells>& rows, std::size_t position)
{
    const auto p = static_cast<long long>(position);
    for (const FixedRowCells& row : rows) {
        const long long end = atoiText(row.end);
        if (end > 0 && atoiText(row.start) <= p && end > p) {
            return true;
        }
    }
    return false;
}

void FixedFieldRows::fill(const std::vector<PluField>& fields)
{
    m_rows.clear();
    for (const PluField& field : fields) {
        m_rows.push_back({field.number, field.name, {}, {}, {}});
    }
    // No structure list gives no rows, and then nothing is selected.
    m_selected = m_rows.empty() ? std::nullopt : std::optional<std::size_t>{0};
}

void FixedFieldRows::showStored(const std::vector<FixedFieldDef>& stored)
{
    for (std::size_t n = 0; n < stored.size() && n < m_rows.size(); ++n) {
        const FixedFieldDef& def = stored[n];
        m_rows[n].start = std::to_string(def.start);
        m_rows[n].end = std::to_string(static_cast<long long>(def.start) + def.length);
        m_rows[n].length = std::to_string(def.length);
    }
}

bool FixedFieldRows::mark(const MarkedSpan& span)
{
    if (!m_selected || *m_selected >= m_rows.size()) {
        return false;
    }
    FixedRowCells& row = m_rows[*m_selected];
    row.start = std::to_string(span.start);
    row.end = std::to_string(span.end);
    row.length = std::to_string(span.length());
    return true;
}

void FixedFieldRows::clearOne()
{
    if (m_selected && *m_selected < m_rows.size()) {
        FixedRowCells& row = m_rows[*m_selected];
        row.start.clear();
        row.end.clear();
        row.length.clear();
    }
}

void FixedFieldRows::clearAll()
{
    for (FixedRowCells& row : m_rows) {
        row.start.clear();
        row.end.clear();
        row.length.clear();
    }
}

void FixedFieldRows::select(std::optional<std::size_t> row)
{
    m_selected = (row && *row < m_rows.size()) ? row : std::nullopt;
}

std::vector<FixedFieldDef> FixedFieldRows::definitions() const
{
    std::vector<FixedFieldDef> defs;
    defs.reserve(m_rows.size());
    for (const FixedRowCells& row : m_rows) {
        defs.push_back(makeFixedFieldDef(row.fieldNumber, row.name, atoiText(row.start),
                                         atoiText(row.length)));
    }
    return defs;
}

} // namespace ostrel
