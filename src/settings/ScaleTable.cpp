#include "settings/ScaleTable.h"

#include <algorithm>

namespace ostrel {

void ScaleTable::load(const std::vector<ScaleListRow>& rows)
{
    m_rows.clear();
    for (const auto& row : rows) {
        if (full()) {
            break;
        }
        ScaleTableRow shown;
        shown.columns = {row.address, std::to_string(row.value.port), row.name, row.model,
                         row.version};
        m_rows.push_back(std::move(shown));
    }
}

bool ScaleTable::hasSameIp(const std::string& address, std::size_t except) const
{
    const std::string padded = paddedIp(address);
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (i != except && paddedIp(m_rows[i].columns.address) == padded) {
            return true;
        }
    }
    return false;
}

ScaleTable::AddResult ScaleTable::add(const ScaleListColumns& entered)
{
    if (full()) {
        return AddResult::Full;
    }
    if (hasSameIp(entered.address)) {
        return AddResult::SameIp;
    }
    ScaleTableRow row;
    row.columns = entered;
    m_rows.push_back(std::move(row));
    return AddResult::Added;
}

ScaleTable::EditResult ScaleTable::edit(std::size_t index, const ScaleListColumns& entered)
{
    if (index >= m_rows.size()) {
        return EditResult::NoRow;
    }
    if (hasSameIp(entered.address, index)) {
        return EditResult::SameIp;
    }
    m_rows[index].columns = entered;
    return EditResult::Edited;
}

std::size_t ScaleTable::checkedCount() const
{
    return static_cast<std::size_t>(
        std::count_if(m_rows.begin(), m_rows.end(), [](const auto& row) { return row.checked; }));
}

void ScaleTable::removeChecked()
{
    for (std::size_t i = m_rows.size(); i-- > 0;) {
        if (m_rows[i].checked) {
            m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}

void ScaleTable::toggleChecks()
{
    if (m_rows.empty()) {
        return;
    }
    const bool checked = !m_rows.front().checked;
    for (auto& row : m_rows) {
        row.checked = checked;
    }
}

void ScaleTable::setChecked(std::size_t index, bool checked)
{
    if (index < m_rows.size()) {
        m_rows[index].checked = checked;
    }
}

void ScaleTable::setConnection(std::size_t index, std::string text)
{
    if (index < m_rows.size()) {
        m_rows[index].connection = std::move(text);
    }
}

void ScaleTable::clearConnections()
{
    for (auto& row : m_rows) {
        row.connection.clear();
    }
}

std::vector<ScaleListColumns> ScaleTable::columns() const
{
    std::vector<ScaleListColumns> result;
    result.reserve(m_rows.size());
    for (const auto& row : m_rows) {
        result.push_back(row.columns);
    }
    return result;
}

std::optional<std::size_t> ScaleTable::rowForAnswer(std::string_view address)
{
    for (std::size_t i = m_rows.size(); i-- > 0;) {
        if (m_rows[i].columns.address == address) {
            return i;
        }
    }
    if (full()) {
        return std::nullopt;
    }
    m_rows.emplace_back();
    return m_rows.size() - 1;
}

void ScaleTable::setColumns(std::size_t index, ScaleListColumns columns)
{
    if (index < m_rows.size()) {
        m_rows[index].columns = std::move(columns);
    }
}

} // namespace ostrel
