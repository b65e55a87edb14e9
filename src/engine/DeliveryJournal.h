// The delivery journal: for every data file a run read (known by its identity) and every scale
// it was due for, how far the scale got: the lines before `nextLine` were accepted or skipped
// for a recorded reason. Runs consult it to bring a scale level from a file's backup, and to
// send a scale nothing it has already. One SQLite database in WAL mode, so a crash at any
// moment leaves it consistent; every change is its own transaction unless batched.
//
// Not thread-safe by itself: the engine calls it with its lock held.
#pragma once

#include "engine/FileIdentity.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace ostrel {

class DeliveryJournal final
{
    struct Token
    {
        explicit Token() = default;
    };

public:
    // Through open() only.
    explicit DeliveryJournal(Token) {}

    // nullptr (and `error` set) when the database cannot be opened or set up.
    static std::unique_ptr<DeliveryJournal> open(const std::string& path, std::string* error);
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

    // Batches the changes made while it lives into one transaction.
    class Batch final
    {
    public:
        explicit Batch(DeliveryJournal* journal);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        DeliveryJournal* m_journal;
    };

    const std::string& lastError() const { return m_lastError; }

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
    FileRecord fileFrom(sqlite3_stmt* statement) const;

    sqlite3* m_db = nullptr;
    std::string m_lastError;
    Statement m_findFile;
    Statement m_addFile;
    Statement m_nextLine;
    Statement m_startDelivery;
    Statement m_acknowledge;
    Statement m_skip;
    Statement m_close;
    Statement m_recordBackup;
    Statement m_supersede;
};

} // namespace ostrel
