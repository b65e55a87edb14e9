#include "format/ColumnOrder.h"

#include <utility>

namespace ostrel {

bool ColumnOrder::load(const std::string& pluIdIni)
{
    auto columns = readPluIdFile(pluIdIni, kPluIdWindowCapacity);
    if (!columns) {
        return false;
    }
    m_rows.clear();
    for (auto& column : *columns) {
        m_rows.push_back({column.fieldNumber(), std::move(column.name), {}});
    }
    return true;
}

void ColumnOrder::setFields(const std::vector<PluField>& fields)
{
    m_rows.clear();
    for (const auto& field : fields) {
        m_rows.push_back({field.number, field.name, {}});
    }
}

void ColumnOrder::setValues(const std::vector<std::string>& values)
{
    for (std::size_t i = 0; i < values.size() && i < m_rows.size(); ++i) {
        m_rows[i].value = values[i];
    }
}

bool ColumnOrder::swapWith(std::size_t from, std::size_t to)
{
    std::swap(m_rows[from].fieldNumber, m_rows[to].fieldNumber);
    std::swap(m_rows[from].name, m_rows[to].name);
    m_selected = to;
    return true;
}

bool ColumnOrder::moveUp()
{
    if (!m_selected || *m_selected >= m_rows.size() || *m_selected == 0) {
        return false;
    }
    return swapWith(*m_selected, *m_selected - 1);
}

bool ColumnOrder::moveDown()
{
    if (!m_selected || *m_selected + 1 >= m_rows.size()) {
        return false;
    }
    return swapWith(*m_selected, *m_selected + 1);
}

std::vector<PluIdRow> ColumnOrder::idRows() const
{
    std::vector<PluIdRow> rows;
    rows.reserve(m_rows.size());
    for (const auto& row : m_rows) {
        rows.push_back({row.fieldNumber, row.name});
    }
    return rows;
}

} // namespace ostrel
