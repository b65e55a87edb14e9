// Reads what the simulated scale stored: the PLU numbers one scale accepted, in order of
// arrival, and the current records of one scale, from the simulator's SQLite database.
#pragma once

#include <sqlite3.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace ostrel::test {

inline std::vector<int> receivedPlus(const std::string& database, const std::string& scale)
{
    std::vector<int> plus;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(db, 5000); // the simulator may be writing a batch just now
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, "SELECT plu_number FROM received WHERE scale = ? ORDER BY rowid", -1,
                           &statement, nullptr);
        sqlite3_bind_text(statement, 1, scale.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(statement) == SQLITE_ROW) {
            plus.push_back(sqlite3_column_int(statement, 0));
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return plus;
}

// (department, PLU) -> the raw record the scale stores.
inline std::map<std::pair<int, int>, std::string> storedTable(const std::string& db,
                                                              const std::string& scale)
{
    std::map<std::pair<int, int>, std::string> table;
    sqlite3* handle = nullptr;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(handle,
                           "SELECT department, plu_number, record FROM plu WHERE scale = ?1", -1,
                           &statement, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(handle, 5000);
        sqlite3_bind_text(statement, 1, scale.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(statement) == SQLITE_ROW) {
            table[{sqlite3_column_int(statement, 0), sqlite3_column_int(statement, 1)}] =
                std::string(static_cast<const char*>(sqlite3_column_blob(statement, 2)),
                            static_cast<std::size_t>(sqlite3_column_bytes(statement, 2)));
        }
    }
    sqlite3_finalize(statement);
    sqlite3_close(handle);
    return table;
}

} // namespace ostrel::test
