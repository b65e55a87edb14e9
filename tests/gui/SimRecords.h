// What the simulated scale stored, read back from its database for the window-to-scale tests.
#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

namespace ostrel::test {

struct StoredPlu
{
    int department = 0;
    long long plu = 0;
    long long price = 0;
    std::string name;
    bool operator==(const StoredPlu&) const = default;
};

inline std::vector<StoredPlu> storedRecords(const std::string& db)
{
    std::vector<StoredPlu> records;
    sqlite3* handle = nullptr;
    if (sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(handle, 5000);
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(handle,
                               "SELECT department, plu_number, price, name FROM received "
                               "ORDER BY rowid",
                               -1, &statement, nullptr) == SQLITE_OK) {
            while (sqlite3_step(statement) == SQLITE_ROW) {
                const auto* name = static_cast<const char*>(sqlite3_column_blob(statement, 3));
                records.push_back(
                    {sqlite3_column_int(statement, 0), sqlite3_column_int64(statement, 1),
                     sqlite3_column_int64(statement, 2),
                     std::string(name != nullptr ? name : "",
                                 static_cast<std::size_t>(sqlite3_column_bytes(statement, 3)))});
            }
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(handle);
    return records;
}

} // namespace ostrel::test
