// The delivery journal: for every data file a run read (known by its identity) and every scale
// it was due for, how far the scale got: the lines before `nextLine` were accepted or skipped
// for a recorded reason. Runs consult it to bring a scale level from a file's backup, and to
// send a scale nothing it has already. One SQLite database in WAL mode, so a crash at any
// moment leaves it consistent; every change is its own transaction unless batched. A write
// that fails (disk full, I/O error, locked) is remembered until cleared, so a run never takes
// a row the database does not hold for delivered; a value read back that is not what the
// journal writes is traced and taken as unknown.
//
// Not thread-safe by itself: the engine calls it with its lock held.
#pragma once

#include "engine/FileIdentity.h"
#include "platform/Sha256.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace ostrel {

// A record as a scale keys it: department and PLU number.
struct HeldKey
{
    int department = 0;
    std::int64_t pluNumber = 0;
    bool operator==(const HeldKey&) const = default;
};
struct HeldKeyHash
{
    std::size_t operator()(const HeldKey& key) const
    {
        return std::hash<std::int64_t>()(key.pluNumber * 1'000'003 + key.department);
    }
};
// What a scale holds, as far as this journal sent it: the hash of each record it accepted last.
using HeldRecords = std::unordered_map<HeldKey, Sha256Digest, HeldKeyHash>;

class DeliveryJournal final
{
    struct Token
    {
        explicit Token() = default;
    };

public:
    // Through open() only.
    explicit DeliveryJournal(Token) {}

    // nullptr (and `error` set) when the database cannot be opened or set up; `damaged` then
    // tells whether the file is there but no sound journal (not a database, truncated, or
    // failing its quick check).
    static std::unique_ptr<DeliveryJournal> open(const std::string& path, std::string* error,
                                                 bool* damaged = nullptr);
    ~DeliveryJournal();
    DeliveryJournal(const DeliveryJournal&) = delete;
    DeliveryJournal& operator=(const DeliveryJournal&) = delete;

    struct FileRecord
    {
        std::int64_t id = 0;
        FileIdentity identity;
        std::string path;   // where it was read first
        std::string backup; // its backup name once one was chosen
        bool backedUp = false;
        bool superseded = false; // rewritten after reading: its new bytes are another file
        int lineCount = 0;
    };

    std::optional<FileRecord> findFile(const FileIdentity& identity);
    std::int64_t addFile(const FileIdentity& identity, const std::string& path, int lineCount,
                         const std::string& runStamp);

    // Lines of the file before the result are done for the scale; nullopt when the file was
    // never due for it.
    std::optional<int> nextLine(std::int64_t fileId, const std::string& scale);
    void startDelivery(std::int64_t fileId, const std::string& scale);
    // Line `line` (0-based in the file) was accepted, or skipped when `skipReason` is not empty.
    void acknowledge(std::int64_t fileId, const std::string& scale, int line,
                     std::string_view skipReason = {});
    // The scale will never get the rest (the backup is gone); it is no longer pending.
    void closeDelivery(std::int64_t fileId, const std::string& scale, const std::string& reason);
    // The scale is to get the whole file again (a resend): from line 0, nothing closed,
    // nothing skipped or refused before.
    void restartDelivery(std::int64_t fileId, const std::string& scale);

    // Line `line` used up the retry rule of a run with `runStamp`; returns in how many runs
    // in a row that happened (a second call in the same run counts once). 0 when the count
    // cannot be written.
    int noteRefusedRun(std::int64_t fileId, const std::string& scale, int line,
                       const std::string& runStamp);

    // After the rename. A crash before this is found again by the backup's name pattern.
    void recordBackup(std::int64_t fileId, const std::string& backup);
    void markSuperseded(std::int64_t fileId);

    struct Pending
    {
        FileRecord file;
        std::vector<std::string> scales; // of those asked about, the ones not done with it
    };
    // Files that one of `scales` has not got completely, oldest reading first.
    std::vector<Pending> pending(const std::vector<std::string>& scales);

    struct DeliveryRow
    {
        std::int64_t fileId = 0;
        std::string scale;
        int nextLine = 0;
        std::string closed;
    };
    std::vector<DeliveryRow> deliveries();
    std::vector<std::pair<int, std::string>> skippedLines(std::int64_t fileId,
                                                          const std::string& scale);

    // What the scale holds (sending only what changed); records it accepted, and those it
    // deleted. Written in the batches of the acknowledgements.
    HeldRecords heldRecords(const std::string& scale);
    void holdRecord(const std::string& scale, const HeldKey& key, const Sha256Digest& digest,
                    std::int64_t acceptedAt);
    void forgetRecord(const std::string& scale, const HeldKey& key);
    // The scale's last full send, and the model and version it had then: a later change of
    // either, or a lost journal (no state at all), makes the next send a full one.
    struct ScaleState
    {
        std::int64_t lastFullDay = 0; // days since 1970-01-01, local date
        std::string model;
        std::string version;
    };
    std::optional<ScaleState> scaleState(const std::string& scale);
    void recordFullSend(const std::string& scale, const ScaleState& state);

    // Batches the changes made while it lives into one transaction; a batch inside another
    // joins the outer one. The outermost commits in commit() or at its end, and rolls back
    // when that fails; the failure is then the journal's write error.
    class Batch final
    {
    public:
        explicit Batch(DeliveryJournal* journal);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;
        // False when this or an earlier write of the batch failed.
        bool commit();

    private:
        DeliveryJournal* m_journal;
        bool m_outermost = false;
        bool m_done = false;
    };

    const std::string& lastError() const { return m_lastError; }
    // The first write that failed since the last clear, "" when every write held.
    const std::string& writeError() const { return m_writeError; }
    void clearWriteError() { m_writeError.clear(); }

private:
    struct StatementDeleter
    {
        void operator()(sqlite3_stmt* statement) const;
    };
    using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

    bool exec(const char* sql);
    Statement prepare(const char* sql);
    // Runs a statement that returns no rows; records the error when it fails.
    bool step(sqlite3_stmt* statement);
    void noteWriteFailure(const std::string& error);
    // The row's file, nullopt (traced) when a value is not one the journal writes.
    std::optional<FileRecord> fileFrom(sqlite3_stmt* statement) const;

    sqlite3* m_db = nullptr;
    std::string m_lastError;
    std::string m_writeError;
    std::string m_tracedError;
    int m_batchDepth = 0;
    bool m_batchFailed = false;
    Statement m_findFile;
    Statement m_addFile;
    Statement m_nextLine;
    Statement m_startDelivery;
    Statement m_acknowledge;
    Statement m_skip;
    Statement m_close;
    Statement m_recordBackup;
    Statement m_supersede;
    Statement m_restart;
    Statement m_unskip;
    Statement m_refused;
    Statement m_refusedRuns;
    Statement m_hold;
    Statement m_forget;
};

} // namespace ostrel
