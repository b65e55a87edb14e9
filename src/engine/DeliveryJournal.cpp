#include "engine/DeliveryJournal.h"

#include "engine/SqliteHelpers.h"
#include "platform/Trace.h"

#include <sqlite3.h>

#include <algorithm>
#include <charconv>

namespace ostrel {

namespace {

using sqlite::bindText;
using sqlite::columnText;
using sqlite::isInteger;
using sqlite::Use;

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
CREATE TABLE IF NOT EXISTS refused_line(
  file_id INTEGER NOT NULL REFERENCES data_file(id),
  scale TEXT NOT NULL, line INTEGER NOT NULL,
  runs INTEGER NOT NULL, last_run TEXT NOT NULL,
  PRIMARY KEY(file_id, scale, line));
CREATE TABLE IF NOT EXISTS held_record(
  scale TEXT NOT NULL, department INTEGER NOT NULL, plu INTEGER NOT NULL,
  hash BLOB NOT NULL, accepted INTEGER NOT NULL,
  PRIMARY KEY(scale, department, plu)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS scale_state(
  scale TEXT PRIMARY KEY, last_full_day INTEGER NOT NULL,
  model TEXT NOT NULL, version TEXT NOT NULL);
)";

constexpr const char* kFileColumns =
    "id, size, mtime_ns, hash, path, backup, backed_up, superseded, line_count";

std::optional<std::uint64_t> hashFromText(const std::string& text)
{
    std::uint64_t hash = 0;
    const char* end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, hash, 16);
    if (error != std::errc() || rest != end || text.empty()) {
        return std::nullopt;
    }
    return hash;
}

} // namespace

void DeliveryJournal::StatementDeleter::operator()(sqlite3_stmt* statement) const
{
    sqlite3_finalize(statement);
}

std::unique_ptr<DeliveryJournal> DeliveryJournal::open(const std::string& path, std::string* error,
                                                       bool* damaged)
{
    auto journal = std::make_unique<DeliveryJournal>(Token{});
    if (damaged != nullptr) {
        *damaged = false;
    }
    const auto fail = [&](const std::string& what) -> std::unique_ptr<DeliveryJournal> {
        const int code = journal->m_db != nullptr ? sqlite3_errcode(journal->m_db) : SQLITE_NOMEM;
        if (damaged != nullptr && (code == SQLITE_NOTADB || code == SQLITE_CORRUPT)) {
            *damaged = true;
        }
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
    if (!journal->exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;")) {
        return fail("cannot set up " + path);
    }
    // A file of random bytes, a truncated one or flipped bits in its structure.
    {
        Statement check = journal->prepare("PRAGMA quick_check");
        const bool stepped = check && sqlite3_step(check.get()) == SQLITE_ROW;
        const std::string verdict = stepped ? columnText(check.get(), 0) : std::string();
        if (verdict != "ok") {
            if (damaged != nullptr) {
                *damaged = true;
            }
            if (error != nullptr) {
                *error = path + " fails its check: " +
                         (verdict.empty() ? std::string(sqlite3_errmsg(journal->m_db)) : verdict);
            }
            return nullptr;
        }
    }
    if (!journal->exec(kSchema)) {
        return fail("cannot set up " + path);
    }
    const std::string select = std::string("SELECT ") + kFileColumns + " FROM data_file ";
    auto& j = *journal;
    j.m_findFile = j.prepare((select + "WHERE size = ?1 AND mtime_ns = ?2 AND hash = ?3").c_str());
    j.m_addFile = j.prepare("INSERT INTO data_file(size, mtime_ns, hash, path, line_count, "
                            "first_run) VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
    j.m_nextLine = j.prepare("SELECT next_line FROM delivery WHERE file_id = ?1 AND scale = ?2");
    j.m_startDelivery = j.prepare("INSERT OR IGNORE INTO delivery(file_id, scale) VALUES(?1, ?2)");
    j.m_acknowledge = j.prepare("UPDATE delivery SET next_line = max(next_line, ?3 + 1) "
                                "WHERE file_id = ?1 AND scale = ?2");
    j.m_skip = j.prepare(
        "INSERT OR REPLACE INTO skipped_line(file_id, scale, line, reason) VALUES(?1, ?2, ?3, ?4)");
    j.m_close = j.prepare("UPDATE delivery SET closed = ?3 WHERE file_id = ?1 AND scale = ?2");
    j.m_recordBackup = j.prepare("UPDATE data_file SET backup = ?2, backed_up = 1 WHERE id = ?1");
    j.m_supersede = j.prepare("UPDATE data_file SET superseded = 1 WHERE id = ?1");
    j.m_restart = j.prepare("INSERT INTO delivery(file_id, scale) VALUES(?1, ?2) ON CONFLICT"
                            "(file_id, scale) DO UPDATE SET next_line = 0, closed = ''");
    j.m_unskip = j.prepare("DELETE FROM skipped_line WHERE file_id = ?1 AND scale = ?2");
    j.m_refused = j.prepare(
        "INSERT INTO refused_line(file_id, scale, line, runs, last_run) VALUES(?1, ?2, ?3, 1, ?4) "
        "ON CONFLICT(file_id, scale, line) DO UPDATE SET "
        "runs = runs + (last_run <> excluded.last_run), last_run = excluded.last_run");
    j.m_refusedRuns =
        j.prepare("SELECT runs FROM refused_line WHERE file_id = ?1 AND scale = ?2 AND line = ?3");
    j.m_hold = j.prepare("INSERT OR REPLACE INTO held_record(scale, department, plu, hash, "
                         "accepted) VALUES(?1, ?2, ?3, ?4, ?5)");
    j.m_forget =
        j.prepare("DELETE FROM held_record WHERE scale = ?1 AND department = ?2 AND plu = ?3");
    for (const Statement* statement :
         {&j.m_findFile, &j.m_addFile, &j.m_nextLine, &j.m_startDelivery, &j.m_acknowledge,
          &j.m_skip, &j.m_close, &j.m_recordBackup, &j.m_supersede, &j.m_restart, &j.m_unskip,
          &j.m_refused, &j.m_refusedRuns, &j.m_hold, &j.m_forget}) {
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
          &m_recordBackup, &m_supersede, &m_restart, &m_unskip, &m_refused, &m_refusedRuns, &m_hold,
          &m_forget}) {
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
    // A failed batch writes nothing more: after a failed statement SQLite may have rolled the
    // transaction back, and the rest would then commit piecemeal.
    if (m_batchDepth > 0 && m_batchFailed) {
        return false;
    }
    if (sqlite3_step(statement) != SQLITE_DONE) {
        noteWriteFailure(sqlite3_errmsg(m_db));
        return false;
    }
    return true;
}

void DeliveryJournal::noteWriteFailure(const std::string& error)
{
    m_lastError = error;
    if (m_batchDepth > 0) {
        m_batchFailed = true;
    }
    if (m_writeError.empty()) {
        m_writeError = error;
    }
    // The run keeps the files it concerns from being backed up: nothing is lost. A full disk
    // fails every flush alike; once is enough to say so.
    if (error != m_tracedError) {
        m_tracedError = error;
        trace("delivery journal: " + error);
    }
}

std::optional<DeliveryJournal::FileRecord> DeliveryJournal::fileFrom(sqlite3_stmt* statement) const
{
    FileRecord file;
    file.id = sqlite3_column_int64(statement, 0);
    const auto hash = hashFromText(columnText(statement, 3));
    bool sound = hash.has_value();
    for (const int column : {0, 1, 2, 6, 7, 8}) {
        sound = sound && isInteger(statement, column);
    }
    file.identity.size = sqlite3_column_int64(statement, 1);
    file.identity.mtimeNs = sqlite3_column_int64(statement, 2);
    file.lineCount = sqlite3_column_int(statement, 8);
    if (!sound || file.identity.size < 0 || file.lineCount < 0) {
        trace("delivery journal: data_file row " + std::to_string(file.id) +
              " holds a value it never writes; the file is taken as unknown");
        return std::nullopt;
    }
    file.identity.hash = *hash;
    file.path = columnText(statement, 4);
    file.backup = columnText(statement, 5);
    file.backedUp = sqlite3_column_int(statement, 6) != 0;
    file.superseded = sqlite3_column_int(statement, 7) != 0;
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
    if (!isInteger(*use, 0) || sqlite3_column_int64(*use, 0) < 0 ||
        sqlite3_column_int64(*use, 0) > INT32_MAX) {
        trace("delivery journal: the delivery of file " + std::to_string(fileId) + " to " + scale +
              " holds a line it never writes; the scale gets the whole file");
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

void DeliveryJournal::restartDelivery(std::int64_t fileId, const std::string& scale)
{
    Batch batch(this);
    for (sqlite3_stmt* statement : {m_restart.get(), m_unskip.get()}) {
        Use use(statement);
        sqlite3_bind_int64(*use, 1, fileId);
        bindText(*use, 2, scale);
        step(*use);
    }
    Statement refused = prepare("DELETE FROM refused_line WHERE file_id = ?1 AND scale = ?2");
    if (refused) {
        sqlite3_bind_int64(refused.get(), 1, fileId);
        bindText(refused.get(), 2, scale);
        step(refused.get());
    }
}

int DeliveryJournal::noteRefusedRun(std::int64_t fileId, const std::string& scale, int line,
                                    const std::string& runStamp)
{
    {
        Use use(m_refused.get());
        sqlite3_bind_int64(*use, 1, fileId);
        bindText(*use, 2, scale);
        sqlite3_bind_int(*use, 3, line);
        bindText(*use, 4, runStamp);
        if (!step(*use)) {
            return 0;
        }
    }
    Use use(m_refusedRuns.get());
    sqlite3_bind_int64(*use, 1, fileId);
    bindText(*use, 2, scale);
    sqlite3_bind_int(*use, 3, line);
    if (sqlite3_step(*use) != SQLITE_ROW || !isInteger(*use, 0)) {
        return 0;
    }
    return static_cast<int>(std::clamp<sqlite3_int64>(sqlite3_column_int64(*use, 0), 0, 1000));
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
            auto file = fileFrom(statement.get());
            if (!file) {
                continue; // unknown: a run reads such a file afresh if it is still there
            }
            result.push_back({std::move(*file), {}});
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
    if (m_journal == nullptr) {
        return;
    }
    m_outermost = m_journal->m_batchDepth++ == 0;
    if (m_outermost) {
        m_journal->m_batchFailed = false;
        if (!m_journal->exec("BEGIN IMMEDIATE")) {
            m_journal->noteWriteFailure("cannot begin a transaction: " + m_journal->m_lastError);
        }
    }
}

DeliveryJournal::Batch::~Batch()
{
    commit();
}

bool DeliveryJournal::Batch::commit()
{
    if (m_journal == nullptr) {
        return true;
    }
    if (m_done) {
        return !m_journal->m_batchFailed;
    }
    m_done = true;
    --m_journal->m_batchDepth;
    if (!m_outermost) {
        return !m_journal->m_batchFailed;
    }
    if (!m_journal->m_batchFailed && m_journal->exec("COMMIT")) {
        return true;
    }
    if (!m_journal->m_batchFailed) {
        m_journal->noteWriteFailure("cannot commit: " + m_journal->m_lastError);
    }
    // A failed statement may have ended the transaction already; then this fails harmlessly.
    m_journal->exec("ROLLBACK");
    m_journal->m_batchFailed = true;
    return false;
}

} // namespace ostrel
