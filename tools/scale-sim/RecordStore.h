// The simulated scales' memory: received records in SQLite, current state and arrival journal.
#pragma once

#include "PluFields.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace ostrel::sim {

class RecordStore final
{
public:
    // Empty path: an in-memory database. Throws std::runtime_error when it cannot be opened.
    explicit RecordStore(const std::string& path);
    ~RecordStore();
    RecordStore(const RecordStore&) = delete;
    RecordStore& operator=(const RecordStore&) = delete;

    // Action 3 inserts or replaces by scale, department and PLU number; action 4 deletes.
    // Returns false when the database refused the write. A file store has committed the
    // record when this returns, so readers of the file see it; the in-memory store, which
    // no one else can read, commits in batches (and on flush() and destruction) and keeps
    // neither the raw record nor the arrival journal, which are there for the file's readers.
    bool store(const std::string& scale, int action, std::span<const std::uint8_t> record,
               const PluFields& fields);
    void flush();
    bool inMemory() const { return m_batched; }

private:
    struct StatementDeleter
    {
        void operator()(sqlite3_stmt* statement) const;
    };
    using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

    void exec(const char* sql);
    Statement prepare(const char* sql);
    bool step(sqlite3_stmt* statement);
    const char* receivedText();

    sqlite3* m_db = nullptr;
    Statement m_upsert;
    Statement m_delete;
    Statement m_journal;
    Statement m_begin;
    Statement m_commit;
    bool m_batched = false; // the in-memory store
    int m_uncommitted = 0;  // records in the open transaction
    long long m_textMs = -1;
    char m_text[96] = {}; // the received time of m_textMs
};

} // namespace ostrel::sim
