#include "engine/DeliveryJournal.h"

#include "platform/Trace.h"

#include <sqlite3.h>

#include <algorithm>

namespace ostrel {

namespace {

constexpr const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS data_file(
  id INTEGER PRIMARY KEY,
  size INTEGER NOT NULL, mtime_ns INTEGER NOT NULL, hash TEXT NOT NULL,
  path TEXT NOT NULL, backup TEXT NOT NULL DEFAULT '',
  backed_up INTEGER NOT NULL DEFAULT 0, superseded INTEGER NOT NULL DEFAULT 0,
  line_count INTEGER NOT NULL, first_run TEXT NOT NULL,
  UNIQUE(size, mtime_ns, hash));
CREATE TABLE IF NOT EXISTS delivery(
  file_id INTEGER NOT NULL REFERENCES data_file(id),
  scale TEXT NOT NULL,
  next_line INTEGER NOT NULL DEFAULT 0,
  closed TEXT NOT NULL DEFAULT '',
  PRIMARY KEY(file_id, scale));
CREATE TABLE IF NOT EXISTS skipped_line(
  file_id INTEGER NOT NULL REFERENCES data_file(id),
  scale TEXT NOT NULL, line INTEGER NOT NULL, reason TEXT NOT NULL,
  PRIMARY KEY(file_id, scale, line));
)";

constexpr const char* kFileColumns =
    "id, size, mtime_ns, hash, path, backup, backed_up, superseded, line_count";

std::string columnText(sqlite3_stmt* statement, int column)
{
    const auto* text = sqlite3_column_text(statement, column);
    return text != nullptr ? reinterpret_cast<const char*>(text) : "";
}

void bindText(sqlite3_stmt* statement, int index, std::string_view text)
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

} // namespace

void DeliveryJournal::StatementDeleter::operator()(sqlite3_stmt* statement) const
{
    sqlite3_finalize(statement);
}

std::unique_ptr<DeliveryJournal> DeliveryJournal::open(const std::string& path, std::string* error)
{
    auto journal = std::make_unique<DeliveryJournal>(Token{});
    const auto fail = [&](const std::string& what) -> std::unique_ptr<DeliveryJournal> {
        if (error != nullptr) {
            *error = what + ": " +
                     (journal->m_db != nullptr ? sqlite3_errmsg(journal->m_db) : "out of memory");
        }
        return nullptr;
    };
    if (sqlite3_open_v2(path.c_str(), &journal->m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK) {
        return fail("cannot open " + path);
    }
    sqlite3_busy_timeout(journal->m_db, 5000);
    // WAL: a crash leaves the last committed state; NORMAL: no sync per line, and a lost
    // power supply costs at most the last lines, which a catch-up simply sends again.
    if (!journal->exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;") ||
        !journal->exec(kSchema)) {
        return fail("cannot set up " + path);
    }
    const std::string select = std::string("SELECT ") + kFileColumns + " FROM data_file ";
    journal->m_findFile =
        journal->prepare((select + "WHERE size = ?1 AND mtime_ns = ?2 AND hash = ?3").c_str());
    journal->m_addFile =
        journal->prepare("INSERT INTO data_file(size, mtime_ns, hash, path, line_count, first_run) "
                         "VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
    journal->m_nextLine =
        journal->prepare("SELECT next_line FROM delivery WHERE file_id = ?1 AND scale = ?2");
    journal->m_startDelivery =
        journal->prepare("INSERT OR IGNORE INTO delivery(file_id, scale) VALUES(?1, ?2)");
    journal->m_acknowledge =
        journal->prepare("UPDATE delivery SET next_line = max(next_line, ?3 + 1) "
                         "WHERE file_id = ?1 AND scale = ?2");
    journal->m_skip = journal->prepare(
        "INSERT OR REPLACE INTO skipped_line(file_id, scale, line, reason) VALUES(?1, ?2, ?3, ?4)");
    journal->m_close =
        journal->prepare("UPDATE delivery SET closed = ?3 WHERE file_id = ?1 AND scale = ?2");
    journal->m_recordBackup =
        journal->prepare("UPDATE data_file SET backup = ?2, backed_up = 1 WHERE id = ?1");
    journal->m_supersede = journal->prepare("UPDATE data_file SET superseded = 1 WHERE id = ?1");
    for (const Statement* statement :
         {&journal->m_findFile, &journal->m_addFile, &journal->m_nextLine,
          &journal->m_startDelivery, &journal->m_acknowledge, &journal->m_skip, &journal->m_close,
          &journal->m_recordBackup, &journal->m_supersede}) {
        if (!*statement) {
            return fail("cannot prepare the statements of " + path);
        }
    }
    return journal;
}

DeliveryJournal::~DeliveryJournal()
{
    for (Statement* statement :
         {&m_findFile, &m_addFile, &m_nextLine, &m_startDelivery, &m_acknowledge, &m_skip, &m_close,
          &m_recordBackup, &m_supersede}) {
        statement->reset();
    }
    sqlite3_close(m_db);
}

bool DeliveryJournal::exec(const char* sql)
{
    char* message = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        m_lastError = message != nullptr ? message : "error";
        sqlite3_free(message);
        return false;
    }
    return true;
}

DeliveryJournal::Statement DeliveryJournal::prepare(const char* sql)
{
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(m_db, sql, -1, &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return nullptr;
    }
    return Statement(statement);
}

bool DeliveryJournal::step(sqlite3_stmt* statement)
{
    if (sqlite3_step(statement) != SQLITE_DONE) {
        m_lastError = sqlite3_errmsg(m_db);
        // A journal that cannot write keeps files from being backed up, never loses lines.
        trace("delivery journal: " + m_lastError);
        return false;
    }
    return true;
}

DeliveryJournal::FileRecord DeliveryJournal::fileFrom(sqlite3_stmt* statement) const
{
    FileRecord file;
    file.id = sqlite3_column_int64(statement, 0);
    file.identity.size = sqlite3_column_int64(statement, 1);
    file.identity.mtimeNs = sqlite3_column_int64(statement, 2);
    file.identity.hash = std::stoull(columnText(statement, 3), nullptr, 16);
    file.path = columnText(statement, 4);
    file.backup = columnText(statement, 5);
    file.backedUp = sqlite3_column_int(statement, 6) != 0;
    file.superseded = sqlite3_column_int(statement, 7) != 0;
    file.lineCount = sqlite3_column_int(statement, 8);
    return file;
}

std::optional<DeliveryJournal::FileRecord> DeliveryJournal::findFile(const FileIdentity& identity)
{
    Use use(m_findFile.get());
    sqlite3_bind_int64(*use, 1, identity.size);
    sqlite3_bind_int64(*use, 2, identity.mtimeNs);
    bindText(*use, 3, hashText(identity.hash));
    if (sqlite3_step(*use) != SQLITE_ROW) {
        return std::nullopt;
    }
    return fileFrom(*use);
}

std::int64_t DeliveryJournal::addFile(const FileIdentity& identity, const std::string& path,
                                      int lineCount, const std::string& runStamp)
{
    {
        Use use(m_addFile.get());
        sqlite3_bind_int64(*use, 1, identity.size);
        sqlite3_bind_int64(*use, 2, identity.mtimeNs);
        bindText(*use, 3, hashText(identity.hash));
        bindText(*use, 4, path);
        sqlite3_bind_int(*use, 5, lineCount);
        bindText(*use, 6, runStamp);
        if (!step(*use)) {
            return 0;
        }
    }
    return sqlite3_last_insert_rowid(m_db);
}

std::optional<int> DeliveryJournal::nextLine(std::int64_t fileId, const std::string& scale)
{
    Use use(m_nextLine.get());
    sqlite3_bind_int64(*use, 1, fileId);
    bindText(*use, 2, scale);
    if (sqlite3_step(*use) != SQLITE_ROW) {
        return std::nullopt;
    }
    return sqlite3_column_int(*use, 0);
}

void DeliveryJournal::startDelivery(std::int64_t fileId, const std::string& scale)
{
    Use use(m_startDelivery.get());
    sqlite3_bind_int64(*use, 1, fileId);
    bindText(*use, 2, scale);
    step(*use);
}

void DeliveryJournal::acknowledge(std::int64_t fileId, const std::string& scale, int line,
                                  std::string_view skipReason)
{
    Batch batch(skipReason.empty() ? nullptr : this);
    if (!skipReason.empty()) {
        Use use(m_skip.get());
        sqlite3_bind_int64(*use, 1, fileId);
        bindText(*use, 2, scale);
        sqlite3_bind_int(*use, 3, line);
        bindText(*use, 4, skipReason);
        step(*use);
    }
    Use use(m_acknowledge.get());
    sqlite3_bind_int64(*use, 1, fileId);
    bindText(*use, 2, scale);
    sqlite3_bind_int(*use, 3, line);
    step(*use);
}

void DeliveryJournal::closeDelivery(std::int64_t fileId, const std::string& scale,
                                    const std::string& reason)
{
    Use use(m_close.get());
    sqlite3_bind_int64(*use, 1, fileId);
    bindText(*use, 2, scale);
    bindText(*use, 3, reason);
    step(*use);
}

void DeliveryJournal::recordBackup(std::int64_t fileId, const std::string& backup)
{
    Use use(m_recordBackup.get());
    sqlite3_bind_int64(*use, 1, fileId);
    bindText(*use, 2, backup);
    step(*use);
}

void DeliveryJournal::markSuperseded(std::int64_t fileId)
{
    Use use(m_supersede.get());
    sqlite3_bind_int64(*use, 1, fileId);
    step(*use);
}

std::vector<DeliveryJournal::Pending>
DeliveryJournal::pending(const std::vector<std::string>& scales)
{
    const std::string sql = std::string("SELECT ") + kFileColumns +
                            ", d.scale FROM data_file f JOIN delivery d ON d.file_id = f.id "
                            "WHERE f.superseded = 0 AND d.closed = '' AND "
                            "d.next_line < f.line_count ORDER BY f.id, d.rowid";
    Statement statement = prepare(sql.c_str());
    std::vector<Pending> result;
    if (!statement) {
        return result;
    }
    while (sqlite3_step(statement.get()) == SQLITE_ROW) {
        std::string scale = columnText(statement.get(), 9);
        if (std::find(scales.begin(), scales.end(), scale) == scales.end()) {
            continue; // no longer registered
        }
        const std::int64_t id = sqlite3_column_int64(statement.get(), 0);
        if (result.empty() || result.back().file.id != id) {
            result.push_back({fileFrom(statement.get()), {}});
        }
        result.back().scales.push_back(std::move(scale));
    }
    return result;
}

std::vector<DeliveryJournal::DeliveryRow> DeliveryJournal::deliveries()
{
    std::vector<DeliveryRow> rows;
    Statement statement = prepare("SELECT file_id, scale, next_line, closed FROM delivery "
                                  "ORDER BY file_id, rowid");
    while (statement && sqlite3_step(statement.get()) == SQLITE_ROW) {
        rows.push_back({sqlite3_column_int64(statement.get(), 0), columnText(statement.get(), 1),
                        sqlite3_column_int(statement.get(), 2), columnText(statement.get(), 3)});
    }
    return rows;
}

std::vector<std::pair<int, std::string>> DeliveryJournal::skippedLines(std::int64_t fileId,
                                                                       const std::string& scale)
{
    std::vector<std::pair<int, std::string>> lines;
    Statement statement = prepare("SELECT line, reason FROM skipped_line WHERE file_id = ?1 AND "
                                  "scale = ?2 ORDER BY line");
    if (!statement) {
        return lines;
    }
    sqlite3_bind_int64(statement.get(), 1, fileId);
    bindText(statement.get(), 2, scale);
    while (sqlite3_step(statement.get()) == SQLITE_ROW) {
        lines.emplace_back(sqlite3_column_int(statement.get(), 0), columnText(statement.get(), 1));
    }
    return lines;
}

DeliveryJournal::Batch::Batch(DeliveryJournal* journal) : m_journal(journal)
{
    if (m_journal != nullptr && !m_journal->exec("BEGIN IMMEDIATE")) {
        m_journal = nullptr;
    }
}

DeliveryJournal::Batch::~Batch()
{
    if (m_journal != nullptr && !m_journal->exec("COMMIT")) {
        m_journal->exec("ROLLBACK");
    }
}

} // namespace ostrel
