// The configuration window's scale list as the settings holder keeps it: one row per scale
// with its check box, its text columns and the connection state a scan or test writes. The
// window shows these rows and edits them only through the rules here (Add, Edit, Delete,
// the header click), so the list has exactly one copy.
#pragma once

#include "settings/ScaleList.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

struct ScaleTableRow
{
    bool checked = false;
    ScaleListColumns columns;
    std::string connection; // "Connection" column; empty until a scan or test answers
};

class ScaleTable final
{
public:
    // Every reader stops at IP099, so a 101st row could never be sent to.
    static constexpr std::size_t kMaxRows = 100;

    enum class AddResult
    {
        Added,
        SameIp, // "There is a same IP"
        Full
    };
    enum class EditResult
    {
        Edited,
        SameIp,
        NoRow
    };

    // The window's load: the rows read from IPLIST and its sections; checks and connection
    // texts cleared.
    void load(const std::vector<ScaleListRow>& rows);

    AddResult add(const ScaleListColumns& entered);
    // Compares with every row but `index` itself, so a row keeps its own address.
    EditResult edit(std::size_t index, const ScaleListColumns& entered);
    // True when the address's padded form is in some row other than `except`.
    bool hasSameIp(const std::string& address, std::size_t except = kNoRow) const;

    std::size_t checkedCount() const;
    // Removes every checked row, the last first.
    void removeChecked();
    // The header click: every row takes the opposite of row 0's check. Empty: nothing.
    void toggleChecks();
    void setChecked(std::size_t index, bool checked);
    void setConnection(std::size_t index, std::string text);
    void clearConnections();
    // A scale's answer goes to the last row showing exactly this address, or to a new empty
    // row at the end; nothing when the list is full.
    std::optional<std::size_t> rowForAnswer(std::string_view address);
    void setColumns(std::size_t index, ScaleListColumns columns);

    const std::vector<ScaleTableRow>& rows() const { return m_rows; }
    std::size_t size() const { return m_rows.size(); }
    bool full() const { return m_rows.size() >= kMaxRows; }
    // The rows' text columns in list order, as Save writes them.
    std::vector<ScaleListColumns> columns() const;

    static constexpr std::size_t kNoRow = static_cast<std::size_t>(-1);

private:
    std::vector<ScaleTableRow> m_rows;
};

} // namespace ostrel
