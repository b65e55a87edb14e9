// Small helpers for the SQLite statements of the delivery journal: typed reads of a column,
// text binding, and a statement reset when the call that used it ends.
#pragma once

#include <sqlite3.h>

#include <string>
#include <string_view>

namespace ostrel::sqlite {

inline bool isInteger(sqlite3_stmt* statement, int column)
{
    return sqlite3_column_type(statement, column) == SQLITE_INTEGER;
}

inline std::string columnText(sqlite3_stmt* statement, int column)
{
    const auto* text = sqlite3_column_text(statement, column);
    return text != nullptr ? reinterpret_cast<const char*>(text) : "";
}

inline void bindText(sqlite3_stmt* statement, int index, std::string_view text)
{
    sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()),
                      SQLITE_TRANSIENT);
}

// Resets a prepared statement when the call that used it ends.
class Use final
{
public:
    explicit Use(sqlite3_stmt* statement) : m_statement(statement) {}
    ~Use()
    {
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
    }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;
    sqlite3_stmt* operator*() const { return m_statement; }

private:
    sqlite3_stmt* m_statement;
};

} // namespace ostrel::sqlite
