#include "RecordStore.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <stdexcept>

namespace ostrel::sim {

namespace {

constexpr const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS plu(
  scale TEXT NOT NULL, received TEXT NOT NULL, action INTEGER NOT NULL,
  department INTEGER NOT NULL, plu_number INTEGER NOT NULL, item_code INTEGER NOT NULL,
  price INTEGER NOT NULL, name TEXT NOT NULL, record BLOB NOT NULL,
  PRIMARY KEY(scale, department, plu_number));
CREATE TABLE IF NOT EXISTS received(
  id INTEGER PRIMARY KEY,
  scale TEXT NOT NULL, received TEXT NOT NULL, action INTEGER NOT NULL,
  department INTEGER NOT NULL, plu_number INTEGER NOT NULL, item_code INTEGER NOT NULL,
  price INTEGER NOT NULL, name TEXT NOT NULL);
)";

// Large enough that a commit costs little per record, small enough that the rollback journal
// of one transaction stays small.
constexpr int kBatchRecords = 256;

} // namespace

void RecordStore::StatementDeleter::operator()(sqlite3_stmt* statement) const
{
    sqlite3_finalize(statement);
}

RecordStore::RecordStore(const std::string& path) : m_batched(path.empty())
{
    const std::string name = path.empty() ? ":memory:" : path;
    // Only the simulator's one I/O thread uses the connection: SQLite's own locks are waste.
    if (sqlite3_open_v2(name.c_str(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        const std::string error = sqlite3_errmsg(m_db);
        sqlite3_close(m_db);
        throw std::runtime_error("cannot open " + name + ": " + error);
    }
    sqlite3_busy_timeout(m_db, 5000);
    try {
        // Readers (tests, scripts) look at the file while the scales write.
        if (!path.empty())
            exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL");
        exec(kSchema);
        m_upsert = prepare("INSERT OR REPLACE INTO plu(scale, received, action, department, "
                           "plu_number, item_code, price, name, record) "
                           "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
        // Same parameter numbers as the inserts; the unused ones are simply not bound.
        m_delete =
            prepare("DELETE FROM plu WHERE scale = ?1 AND department = ?4 AND plu_number = ?5");
        // The journal leaves out the raw record: plu holds it, and copying 5 KB twice per
        // record would halve the scale's speed.
        m_journal = prepare("INSERT INTO received(scale, received, action, department, "
                            "plu_number, item_code, price, name) "
                            "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
        m_begin = prepare("BEGIN");
        m_commit = prepare("COMMIT");
    } catch (...) {
        m_upsert.reset();
        m_delete.reset();
        m_journal.reset();
        m_begin.reset();
        m_commit.reset();
        sqlite3_close(m_db);
        throw;
    }
}

RecordStore::~RecordStore()
{
    flush();
    m_upsert.reset();
    m_delete.reset();
    m_journal.reset();
    m_begin.reset();
    m_commit.reset();
    sqlite3_close(m_db);
}

void RecordStore::exec(const char* sql)
{
    char* error = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string text = error ? error : "unknown error";
        sqlite3_free(error);
        throw std::runtime_error("database: " + text);
    }
}

RecordStore::Statement RecordStore::prepare(const char* sql)
{
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(m_db, sql, -1, &statement, nullptr) != SQLITE_OK)
        throw std::runtime_error(std::string("database: ") + sqlite3_errmsg(m_db));
    return Statement(statement);
}

bool RecordStore::step(sqlite3_stmt* statement)
{
    sqlite3_reset(statement);
    return sqlite3_step(statement) == SQLITE_DONE;
}

const char* RecordStore::receivedText()
{
    // Many records arrive within one millisecond: format each millisecond once.
    const auto now = std::chrono::system_clock::now();
    const long long ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    if (ms != m_textMs) {
        m_textMs = ms;
        const auto seconds = static_cast<std::time_t>(ms / 1000);
        std::tm utc{};
        gmtime_r(&seconds, &utc);
        std::snprintf(m_text, sizeof m_text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ",
                      utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min,
                      utc.tm_sec, static_cast<int>(ms % 1000));
    }
    return m_text;
}

bool RecordStore::store(const std::string& scale, int action, std::span<const std::uint8_t> record,
                        const PluFields& fields)
{
    const char* received = receivedText();
    // Every bound value outlives the step, so SQLite need not copy it.
    auto run = [&](sqlite3_stmt* statement) {
        sqlite3_reset(statement);
        sqlite3_bind_text(statement, 1, scale.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(statement, 2, received, -1, SQLITE_STATIC);
        sqlite3_bind_int(statement, 3, action);
        sqlite3_bind_int(statement, 4, fields.department);
        sqlite3_bind_int(statement, 5, fields.pluNumber);
        sqlite3_bind_int(statement, 6, fields.itemCode);
        sqlite3_bind_int(statement, 7, fields.price);
        sqlite3_bind_text(statement, 8, fields.name.data(), static_cast<int>(fields.name.size()),
                          SQLITE_STATIC);
        // Nobody can read the in-memory store, and 5 KB of overflow pages per record were
        // most of the simulator's work: it keeps the fields and an empty record.
        const int recordBytes = m_batched ? 0 : static_cast<int>(record.size());
        sqlite3_bind_blob(statement, 9, record.data(), recordBytes, SQLITE_STATIC);
        return sqlite3_step(statement) == SQLITE_DONE;
    };
    const int answered = m_uncommitted; // earlier records of the open transaction
    bool ok = (sqlite3_get_autocommit(m_db) == 0 || step(m_begin.get())) &&
              run(action == 4 ? m_delete.get() : m_upsert.get()) &&
              (m_batched || run(m_journal.get()));
    if (ok && ++m_uncommitted >= (m_batched ? kBatchRecords : 1)) {
        ok = step(m_commit.get());
        m_uncommitted = 0;
    }
    if (ok)
        return true;
    std::fprintf(stderr, "ostrel-scale-sim: database: %s\n", sqlite3_errmsg(m_db));
    if (answered > 0)
        std::fprintf(stderr,
                     "ostrel-scale-sim: %d accepted records since the last commit are lost\n",
                     answered);
    sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    m_uncommitted = 0;
    return false;
}

void RecordStore::flush()
{
    if (sqlite3_get_autocommit(m_db) != 0)
        return;
    if (!step(m_commit.get())) {
        std::fprintf(stderr, "ostrel-scale-sim: database: %s\n", sqlite3_errmsg(m_db));
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    m_uncommitted = 0;
}

} // namespace ostrel::sim
