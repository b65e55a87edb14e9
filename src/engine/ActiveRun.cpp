#include "engine/ActiveRun.h"

#include "engine/DeliveryJournal.h"
#include "engine/PluRecord.h"
#include "engine/ReadingWarnings.h"
#include "engine/RunServices.h"
#include "engine/RunSummary.h"
#include "platform/Trace.h"
#include "settings/ScaleList.h"

#include <algorithm>
#include <atomic>

#include <unistd.h>

namespace ostrel {

namespace {

constexpr std::uint64_t kBarMaximum = 65535;
constexpr std::uint64_t kPerMille = 1000;
constexpr std::chrono::milliseconds kJournalBatchTime{200};
constexpr int kRunsBeforeSetAside = 3;

std::string trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

} // namespace

std::string scaleKey(const ScaleEntry& entry)
{
    return std::string(entry.ip()) + ":" + std::to_string(entry.port);
}

ActiveRun::ActiveRun(std::string stamp, std::vector<ScaleEntry> scales) : m_stamp(std::move(stamp))
{
    // Two runs may share a stamp (one second) and a process (the desktop program).
    static std::atomic<unsigned> runs{0};
    m_runId = m_stamp + "-" + std::to_string(::getpid()) + "-" + std::to_string(++runs);
    m_scales.reserve(scales.size());
    for (auto& entry : scales) {
        RunScale scale;
        // Transfer state starts afresh each run: a count left by an earlier run would fail a
        // scale at its first refusal.
        entry.nextLine = 0;
        entry.retryCount = 0;
        entry.succeeded = false;
        entry.finished = false;
        scale.entry = std::move(entry);
        scale.key = scaleKey(scale.entry);
        m_scales.push_back(std::move(scale));
    }
}

RunScale* ActiveRun::FindScaleByIp(std::string_view ipText)
{
    for (auto& scale : m_scales) {
        if (std::string_view(scale.entry.ip()) == ipText) {
            return &scale;
        }
    }
    return nullptr;
}

const RunScale* ActiveRun::firstScaleAt(std::string_view ipText) const
{
    const std::string padded = paddedIp(trimmed(ipText));
    for (const auto& scale : m_scales) {
        if (paddedIp(trimmed(scale.entry.ip())) == padded) {
            return &scale;
        }
    }
    return nullptr;
}

bool ActiveRun::allFinished() const
{
    return std::all_of(m_scales.begin(), m_scales.end(),
                       [](const RunScale& scale) { return scale.entry.finished != 0; });
}

void ActiveRun::log(const SendLogPaths& paths, const RunScale& scale, int result) const
{
    std::vector<DataFileEntry> due;
    for (const std::size_t file : scale.dueFiles) {
        due.push_back(m_files[file].entry);
    }
    if (WriteSendLog(paths, due, m_stamp, scale.entry.ip(), result) == 0 && !due.empty() &&
        !m_logFailureTraced) {
        m_logFailureTraced = true;
        trace("cannot write the send log " + paths.logFile);
    }
}

bool ActiveRun::startPlan(RunScale& scale)
{
    scale.planIndex = 0;
    if (scale.plan.empty()) {
        return false;
    }
    scale.entry.nextLine = static_cast<int>(scale.plan.front().from);
    return seekDueLine(scale);
}

bool ActiveRun::seekDueLine(RunScale& scale)
{
    while (scale.planIndex < scale.plan.size()) {
        const LineRange& range = scale.plan[scale.planIndex];
        if (scale.entry.nextLine >= 0 &&
            static_cast<std::size_t>(scale.entry.nextLine) < range.to) {
            return true;
        }
        if (++scale.planIndex < scale.plan.size()) {
            scale.entry.nextLine = static_cast<int>(scale.plan[scale.planIndex].from);
        }
    }
    return false;
}

void ActiveRun::acknowledge(RunScale& scale, std::size_t line, std::string_view skipReason)
{
    if (!skipReason.empty()) {
        ++scale.linesSkipped;
    }
    if (m_journal == nullptr) {
        return;
    }
    for (const LineRange& range : scale.plan) {
        if (line < range.from || line >= range.to) {
            continue;
        }
        const RunFile& file = m_files[range.file];
        if (file.journalId == 0) {
            return;
        }
        const int local = static_cast<int>(line - file.begin);
        int& next = m_unwrittenAcks[{file.journalId, scale.key}];
        next = std::max(next, local + 1);
        if (!skipReason.empty()) {
            m_unwrittenSkips.push_back({file.journalId, scale.key, local, std::string(skipReason)});
        }
        break;
    }
    if (std::chrono::steady_clock::now() - m_lastFlush >= kJournalBatchTime) {
        flushJournal();
    }
}

void ActiveRun::flushJournal()
{
    m_lastFlush = std::chrono::steady_clock::now();
    if (m_journal == nullptr || (m_unwrittenAcks.empty() && m_unwrittenSkips.empty() &&
                                 m_unwrittenHolds.empty() && m_unwrittenFullSends.empty())) {
        return;
    }
    DeliveryJournal::Batch batch(m_journal);
    const std::int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
    for (const auto& [scale, hold] : m_unwrittenHolds) {
        if (hold.forget) {
            m_journal->forgetRecord(scale, hold.key);
        } else {
            m_journal->holdRecord(scale, hold.key, hold.digest, now);
        }
    }
    for (const auto& [scale, state] : m_unwrittenFullSends) {
        m_journal->recordFullSend(scale, state);
    }
    for (const Skip& skip : m_unwrittenSkips) {
        m_journal->acknowledge(skip.fileId, skip.scale, skip.line, skip.reason);
    }
    for (const auto& [row, next] : m_unwrittenAcks) {
        m_journal->acknowledge(row.first, row.second, next - 1);
    }
    if (!batch.commit()) {
        // Kept for the next flush: a disk that has room again loses nothing.
        if (journalFailure.empty()) {
            journalFailure = m_journal->writeError();
        }
        m_journal->clearWriteError();
        return;
    }
    m_unwrittenSkips.clear();
    m_unwrittenAcks.clear();
    m_unwrittenHolds.clear();
    m_unwrittenFullSends.clear();
}

void ActiveRun::prepareDelta(const DeltaSettings& settings, std::int64_t today, bool fullRequested)
{
    m_today = today;
    if (m_journal == nullptr || !settings.onlyChanged) {
        return;
    }
    m_lineRecords.assign(m_lines.size(), LineRecord{});
    for (RunScale& scale : m_scales) {
        scale.trackHeld = true;
        scale.delta = !fullSendDue(m_journal->scaleState(scale.key), scale.entry, today, settings,
                                   fullRequested);
        if (scale.delta && !scale.plan.empty()) {
            scale.held = m_journal->heldRecords(scale.key);
        }
    }
}

bool ActiveRun::passOverUnchanged(RunScale& scale, std::size_t line, int action)
{
    scale.inFlightHold.reset();
    if (!scale.trackHeld) {
        return false;
    }
    const HeldKey key = heldKeyOf(scale.record);
    if (action == kActionSpecial) {
        // Action 4 deletes the item on the scale: always sent, and forgotten once accepted.
        scale.inFlightHold = RunScale::Hold{key, {}, true};
        return false;
    }
    const Sha256Digest digest = recordDigest(scale.record);
    if (line < m_lineRecords.size()) {
        m_lineRecords[line] = {true, key, digest};
    }
    if (scale.delta) {
        const auto held = scale.held.find(key);
        if (held != scale.held.end() && held->second == digest) {
            acknowledge(scale, line);
            ++scale.linesUnchanged;
            return true;
        }
    }
    scale.inFlightHold = RunScale::Hold{key, digest, false};
    return false;
}

bool ActiveRun::passOverKnownUnchanged(RunScale& scale, std::size_t line)
{
    if (!scale.delta || line >= m_lineRecords.size() || !m_lineRecords[line].known) {
        return false;
    }
    const LineRecord& known = m_lineRecords[line];
    const auto held = scale.held.find(known.key);
    if (held == scale.held.end() || held->second != known.digest) {
        return false;
    }
    acknowledge(scale, line);
    ++scale.linesUnchanged;
    return true;
}

void ActiveRun::noteAccepted(RunScale& scale)
{
    if (!scale.inFlightHold) {
        return;
    }
    const RunScale::Hold& hold = *scale.inFlightHold;
    if (scale.delta) { // a later line of this run for the same item compares with it
        if (hold.forget) {
            scale.held.erase(hold.key);
        } else {
            scale.held[hold.key] = hold.digest;
        }
    }
    m_unwrittenHolds.emplace_back(scale.key, hold);
    scale.inFlightHold.reset();
}

void ActiveRun::noteFullSends()
{
    if (resend) {
        return; // one file again is no full send of everything
    }
    for (const RunScale& scale : m_scales) {
        if (scale.trackHeld && !scale.delta && scale.entry.succeeded && !scale.plan.empty()) {
            m_unwrittenFullSends.emplace_back(
                scale.key, DeliveryJournal::ScaleState{m_today, scale.entry.modelName,
                                                       scaleVersionText(scale.entry)});
        }
    }
}

bool ActiveRun::setAsideAfterRepeatedRefusals(RunScale& scale, const std::string& error)
{
    if (m_journal == nullptr || scale.inFlight < 0) {
        return false;
    }
    const auto line = static_cast<std::size_t>(scale.inFlight);
    for (const LineRange& range : scale.plan) {
        if (line < range.from || line >= range.to) {
            continue;
        }
        const RunFile& file = m_files[range.file];
        if (file.journalId == 0) {
            return false;
        }
        const int local = static_cast<int>(line - file.begin);
        const int runs = m_journal->noteRefusedRun(file.journalId, scale.key, local, m_runId);
        if (runs == 0 && journalFailure.empty()) {
            journalFailure = m_journal->writeError();
            m_journal->clearWriteError();
        }
        if (runs < kRunsBeforeSetAside) {
            return false;
        }
        const std::string reason = "refused in " + std::to_string(runs) + " runs: " +
                                   (error.empty() ? std::string("no reason given") : error);
        trace("scale " + scale.key + ": " + describeLine(line) + " set aside, " + reason);
        linesSetAside.push_back({file.entry.path, scale.entry.ip(), local + 1, reason});
        acknowledge(scale, line, reason);
        scale.inFlight = -1;
        return true;
    }
    return false;
}

std::string ActiveRun::describeLine(std::size_t line) const
{
    for (const RunFile& file : m_files) {
        if (line >= file.begin && line < file.end) {
            return "line " + std::to_string(line - file.begin + 1) + " of " + file.entry.path;
        }
    }
    return "line " + std::to_string(line + 1);
}

void ActiveRun::noteFailure(RunScale& scale, std::string reason) const
{
    std::string where;
    const int line = scale.inFlight >= 0 ? scale.inFlight : scale.entry.nextLine;
    if (scale.sendCalled && line >= 0 && static_cast<std::size_t>(line) < m_lines.size()) {
        where = " at " + describeLine(static_cast<std::size_t>(line));
    }
    trace("scale " + scale.key + " failed" + where + ": " + reason);
    scale.failReason = std::move(reason);
}

bool ActiveRun::fileDone(const RunScale& scale, std::size_t file) const
{
    for (std::size_t i = 0; i < scale.plan.size(); ++i) {
        if (scale.plan[i].file != file) {
            continue;
        }
        // Done once the scale moved past this range, or succeeded as a whole.
        return scale.entry.succeeded || i < scale.planIndex;
    }
    return true; // nothing of it was due
}

void ActiveRun::startProgress(ProgressSink& progress)
{
    m_progressTotal = 0;
    for (const RunScale& scale : m_scales) {
        for (const LineRange& range : scale.plan) {
            m_progressTotal += range.to - range.from;
        }
    }
    m_progressDone = 0;
    m_progressShown = 0;
    m_perMille = m_progressTotal > kBarMaximum;
    progress.StartProgress(static_cast<int>(m_perMille ? kPerMille : m_progressTotal), 0, 1);
}

void ActiveRun::stepProgress(ProgressSink& progress)
{
    ++m_progressDone;
    if (!m_perMille) {
        progress.StepProgress();
        return;
    }
    const std::uint64_t mille =
        m_progressDone * kPerMille / std::max<std::uint64_t>(m_progressTotal, 1);
    while (m_progressShown < mille && m_progressShown < kPerMille) {
        ++m_progressShown;
        progress.StepProgress();
    }
}

RunSummary ActiveRun::summary() const
{
    RunSummary result;
    result.stamp = m_stamp;
    result.trigger = trigger;
    result.startTime = startTime;
    const auto& partialReads = m_lines.partialReads();
    for (const auto& file : m_files) {
        result.files.push_back(file.entry.path);
        result.fileLines.push_back(static_cast<int>(file.end - file.begin));
        result.linesSkipped += file.linesSkipped;
        RunSummary::FileReading reading;
        reading.encoding = file.encoding.name(file.codePage);
        reading.encodingReason = file.encoding.reasonText();
        reading.codePage = file.codePage;
        reading.unmappedCharacters = file.unmappedCharacters;
        reading.firstUnmappedLine = file.firstUnmappedLine;
        for (auto it = partialReads.lower_bound(file.begin);
             it != partialReads.end() && it->first < file.end; ++it) {
            if (reading.partialReads++ == 0) {
                const PartialRead& first = it->second;
                reading.firstPartialRead = partialReadExample(m_lines.fileLine(it->first),
                                                              first.field, first.text, first.value);
            }
        }
        result.fileReadings.push_back(std::move(reading));
    }
    result.lines = static_cast<int>(m_lines.size());
    result.interrupted = stopRequested;
    result.linesSetAside = linesSetAside;
    result.journalNotice = journalNotice;
    result.stillBeingWritten = stillBeingWritten;
    result.filesWaiting = filesWaiting;
    result.resend = resend;
    result.journalFailure =
        journalFailure.empty() ? "" : "delivery journal could not be written: " + journalFailure;
    for (const auto& scale : m_scales) {
        RunSummary::ScaleResult entry;
        entry.ipText = scale.entry.ip();
        entry.name = scale.entry.name;
        entry.reached = scale.reached;
        entry.succeeded = scale.entry.succeeded;
        entry.nothingDue = scale.plan.empty();
        entry.linesAccepted = scale.linesAccepted;
        entry.linesSkipped = scale.linesSkipped;
        entry.linesUnchanged = scale.linesUnchanged;
        entry.fullSend = scale.trackHeld && !scale.delta;
        entry.notTried = scale.notTried;
        entry.port = scale.entry.port;
        entry.model = scale.entry.modelName;
        entry.refusals = scale.refusals;
        entry.reason = scale.entry.succeeded ? std::string() : scale.failReason;
        entry.finished = scale.entry.finished;
        for (const LineRange& range : scale.plan) {
            entry.linesDue += static_cast<int>(range.to - range.from);
        }
        result.scales.push_back(std::move(entry));
        for (const LineRange& range : scale.plan) {
            if (range.catchUp) {
                const RunFile& file = m_files[range.file];
                result.catchUps.push_back({file.entry.path, scale.entry.ip(),
                                           static_cast<int>(range.from - file.begin) + 1,
                                           static_cast<int>(range.to - file.begin)});
            }
        }
    }
    return result;
}

} // namespace ostrel
