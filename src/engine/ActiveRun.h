// The state of one update run, owned by the run alone: its stamp, its copy of the data files
// (with what was read of each), its lines, its copy of the scales with their transfer state and
// the lines each is due, and the progress it reports. Triggers that reload settings or
// rediscover files during the run never touch it. Guarded by the engine's lock.
#pragma once

#include "engine/DeliveryJournal.h"
#include "engine/DeltaSend.h"
#include "engine/RunLines.h"
#include "engine/RunSettings.h"
#include "engine/RunSummary.h"
#include "engine/SendLog.h"
#include "format/DataFiles.h"
#include "platform/TextEncoding.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

class ProgressSink;

// One data file of the run: found in the PLU folder, or a catch-up read from its backup.
struct RunFile
{
    DataFileEntry entry;   // the path its lines were read from, and their stamp
    std::size_t begin = 0; // its lines in the run's table
    std::size_t end = 0;
    std::int64_t journalId = 0; // 0 without a journal
    bool fromBackup = false;
    int linesSkipped = 0; // bad lines the reading passed over
    EncodingDecision encoding;
    std::string codePage;
    int unmappedCharacters = 0; // sent as '?'
    int firstUnmappedLine = 0;
};

// Lines [from, to) of the run's table, all of one file, due for one scale.
struct LineRange
{
    std::size_t file = 0;
    std::size_t from = 0;
    std::size_t to = 0;
    bool catchUp = false; // the file was due for the scale in an earlier run
};

struct RunScale
{
    ScaleEntry entry;
    std::string key; // "IP:port", the journal's name for the scale
    std::vector<LineRange> plan;
    std::vector<std::size_t> dueFiles; // logged for this scale
    std::size_t planIndex = 0;
    int inFlight = -1;       // the line SendDataEx was last given
    bool reached = false;    // passed the reachability check
    bool sendCalled = false; // the opening reached SendDataEx
    int linesAccepted = 0;
    int linesSkipped = 0;
    std::string notTried;   // why the opening refused the scale before contacting it
    std::string failReason; // why it failed, in words, for the run's result
    int refusals = 0;
    RecordBytes record{}; // the record in flight; the library may read it until the reply

    // Sending only what changed: whether the journal learns what it accepts, whether this run
    // passes over what it holds already (no full send due), and what it holds.
    bool trackHeld = false;
    bool delta = false;
    HeldRecords held;
    int linesUnchanged = 0;
    struct Hold
    {
        HeldKey key;
        Sha256Digest digest{};
        bool forget = false; // a delete
    };
    std::optional<Hold> inFlightHold; // what the journal learns when the record is accepted
};

// "IP:port" of a registered scale.
std::string scaleKey(const ScaleEntry& entry);

class ActiveRun final
{
public:
    ActiveRun(std::string stamp, std::vector<ScaleEntry> scales);

    const std::string& stamp() const { return m_stamp; }
    std::vector<RunFile>& files() { return m_files; }
    const std::vector<RunFile>& files() const { return m_files; }
    std::vector<RunScale>& scales() { return m_scales; }
    const std::vector<RunScale>& scales() const { return m_scales; }
    RunLines& lines() { return m_lines; }
    void setLines(RunLines lines) { m_lines = std::move(lines); }

    // The first scale whose IP text equals `ipText` byte for byte, nullptr when none does.
    RunScale* FindScaleByIp(std::string_view ipText);
    // The first scale at the same address as `ipText`, compared in the padded form
    // ("127.0.0.2" and "127.000.000.002" are one scale).
    const RunScale* firstScaleAt(std::string_view ipText) const;
    bool allFinished() const;

    // One log line per data file due for this scale.
    void log(const SendLogPaths& paths, const RunScale& scale, int result) const;

    // The journal the run records its progress in; nullptr when there is none.
    void setJournal(DeliveryJournal* journal) { m_journal = journal; }
    DeliveryJournal* journal() const { return m_journal; }
    // Puts the scale at its first due line; false when nothing is due.
    bool startPlan(RunScale& scale);
    // Moves the scale's next line past the ends of its ranges; false when all are done.
    bool seekDueLine(RunScale& scale);
    // Line `line` of the table is done for the scale: accepted, or skipped for `skipReason`.
    // Written to the journal in batches (a transaction per line would halve the run's
    // speed); a crash loses at most the last batch, whose lines a catch-up sends again.
    void acknowledge(RunScale& scale, std::size_t line, std::string_view skipReason = {});
    // A failed write is kept for the next flush and noted in journalFailure.
    void flushJournal();
    // Sending only what changed, for each scale: whether its send is a full one, and what it
    // holds when it is not. Nothing without a journal or with the option off.
    void prepareDelta(const DeltaSettings& settings, std::int64_t today, bool fullRequested);
    // The record just parsed for line `line` (action `action`): true when the scale holds it
    // already, byte for byte; the line is then done, counted unchanged and not sent.
    bool passOverUnchanged(RunScale& scale, std::size_t line, int action);
    // The same before the parse, from what an earlier scale's parse of the line left: a line
    // is the same record for every scale, and a scale that holds it need not parse it again.
    bool passOverKnownUnchanged(RunScale& scale, std::size_t line);
    // The record in flight was accepted: the journal learns that the scale holds it.
    void noteAccepted(RunScale& scale);
    // After a successful full send: its day, model and version, for the next decision.
    void noteFullSends();

    // The record in flight used up the retry rule with `error`: when that happened in
    // kRunsBeforeSetAside runs in a row, the line is set aside (acknowledged as skipped) and
    // the result is true, so the scale can go on with its next line.
    bool setAsideAfterRepeatedRefusals(RunScale& scale, const std::string& error);
    // "line N of FILE" for line `line` of the table (N counts the file's data lines from 1).
    std::string describeLine(std::size_t line) const;
    // The failure's reason for the run's result, and its one trace line.
    void noteFailure(RunScale& scale, std::string reason) const;
    // Whether the scale has every due line of file `file`.
    bool fileDone(const RunScale& scale, std::size_t file) const;

    // The bar counts line-and-scale steps; beyond the bar's 16-bit range it counts per mille.
    void startProgress(ProgressSink& progress);
    void stepProgress(ProgressSink& progress);

    std::vector<std::string> catchUpsGone; // catch-ups closed for want of their bytes
    std::vector<std::string> unread;       // found files that could not be read
    std::vector<RunSummary::SetAsideLine> linesSetAside;
    // The first journal write of the run that failed, "" while every one held: no file of the
    // run is then taken for delivered.
    std::string journalFailure;
    std::string journalNotice; // a lost journal, told by this run
    std::vector<std::string> stillBeingWritten;
    std::size_t filesWaiting = 0;
    bool resend = false;

    bool attempted = false;     // a scale passed the reachability check: back up at the end
    bool opening = true;        // scales are still being opened: the run cannot end yet
    bool stopRequested = false; // no further record goes out; unfinished scales fail
    std::string trigger;
    std::string startTime;

    // Filled in by the end of the run.
    RunSummary summary() const;

private:
    std::string m_stamp;
    std::string m_runId; // told apart from every other run, for the refusal count
    std::vector<RunFile> m_files;
    DeliveryJournal* m_journal = nullptr;
    struct Skip
    {
        std::int64_t fileId;
        std::string scale;
        int line;
        std::string reason;
    };
    std::map<std::pair<std::int64_t, std::string>, int> m_unwrittenAcks; // next line
    std::vector<Skip> m_unwrittenSkips;
    std::vector<std::pair<std::string, RunScale::Hold>> m_unwrittenHolds;
    std::vector<std::pair<std::string, DeliveryJournal::ScaleState>> m_unwrittenFullSends;
    std::int64_t m_today = 0;
    // Per line, once a scale parsed it while only changed records go: its record's key and
    // hash. Empty unless the option is on.
    struct LineRecord
    {
        bool known = false;
        HeldKey key;
        Sha256Digest digest{};
    };
    std::vector<LineRecord> m_lineRecords;
    std::chrono::steady_clock::time_point m_lastFlush = std::chrono::steady_clock::now();
    std::vector<RunScale> m_scales; // sized once: the library holds addresses of its texts
    RunLines m_lines;
    std::uint64_t m_progressTotal = 0;
    std::uint64_t m_progressDone = 0;
    std::uint64_t m_progressShown = 0;
    bool m_perMille = false;
    mutable bool m_logFailureTraced = false; // once per run, not once per scale
};

} // namespace ostrel
