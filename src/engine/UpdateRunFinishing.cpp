// The update run's end: the journal flushed, the data files backed up, the result written and
// the timer restarted.
#include "engine/DeliveryJournal.h"
#include "engine/ReadingWarnings.h"
#include "engine/RunResultFile.h"
#include "engine/RunServices.h"
#include "engine/UpdateRun.h"
#include "platform/Trace.h"
#include "protocol/ScaleLibrary.h"

#include <algorithm>
#include <chrono>

namespace ostrel {

void UpdateRun::FinishRunIfDone()
{
    if (!m_busy || !m_run || m_run->opening || !m_run->allFinished()) {
        return;
    }
    endRun(true);
}

void UpdateRun::endRun(bool progressShown)
{
    m_run->noteFullSends();
    m_run->flushJournal();
    if (!m_run->journalFailure.empty()) {
        failForJournal();
    }
    RunSummary summary = m_run->summary();
    for (std::size_t i = 0; i < summary.fileReadings.size(); ++i) {
        const RunSummary::FileReading& reading = summary.fileReadings[i];
        if (reading.partialReads > 0) {
            trace(summary.files[i] + ": " +
                  partialReadText(reading.partialReads, reading.firstPartialRead));
        }
    }
    summary.keptForNextRun = m_run->unread;
    summary.catchUpsGone = m_run->catchUpsGone;
    if (m_run->stopRequested || !m_run->journalFailure.empty()) {
        // Stopped part-way, or the journal could not keep up: every file stays, and the
        // journal knows at most which lines went out, never more.
        for (const RunFile& file : m_run->files()) {
            if (!file.fromBackup && !m_run->resend) {
                summary.keptForNextRun.push_back(file.entry.path);
            }
        }
    } else if (!m_run->resend) {
        backUpFiles(summary);
    }
    if (DeliveryJournal* journal = m_run->journal()) {
        std::vector<std::string> keys;
        for (const RunScale& scale : m_run->scales()) {
            keys.push_back(scale.key);
        }
        for (auto& owed : journal->pending(keys)) {
            summary.catchUpsPending.push_back(
                {owed.file.backup.empty() ? owed.file.path : owed.file.backup,
                 std::move(owed.scales)});
        }
    }
    if (progressShown) {
        m_progress.CompleteProgress();
    }
    summary.endTime = isoLocalTime(std::chrono::system_clock::now());
    std::string error;
    const std::string resultFile = m_paths.logFolder + "/" + kRunResultFileName;
    if (!writeRunResult(resultFile, summary, &error) && error != m_resultError) {
        trace("cannot write " + resultFile + ": " + error);
    }
    m_resultError = error;
    if (m_run->filesWaiting > 0 && !m_run->stopRequested) {
        trace(std::to_string(m_run->filesWaiting) + " more data file(s) wait: the next run " +
              "starts at once");
    }
    const bool tickNow = (m_run->filesWaiting > 0 || m_tickWhenFree) && !m_run->stopRequested;
    m_tickWhenFree = false;
    if (tickNow) {
        m_timer.restart(kQuickTickMs);
        m_batchTickArmed = true;
    } else {
        restartTimerLocked();
    }
    m_library.resumeWaiting(); // a stop asked of this run is over; nothing of it is opening
    m_run->attempted = false;
    m_busy = false;
    m_pendingSummary = std::move(summary);
}

void UpdateRun::failForJournal()
{
    const std::string reason = "delivery journal could not be written: " + m_run->journalFailure;
    trace(reason + "; the run's files are kept for the next run");
    for (RunScale& scale : m_run->scales()) {
        if (scale.plan.empty() || !scale.failReason.empty()) {
            continue; // nothing of it was due, or it failed for its own reason already
        }
        scale.failReason = reason;
        if (scale.entry.succeeded || !scale.entry.finished) {
            m_run->log(m_logPaths, scale, kLogFailed);
        }
        scale.entry.succeeded = false;
        scale.entry.finished = true;
    }
}

void UpdateRun::backUpFiles(RunSummary& summary)
{
    DeliveryJournal* journal = m_run->journal();
    DeliveryJournal::Batch batch(journal);
    const auto& scales = m_run->scales();
    for (std::size_t index = 0; index < m_run->files().size(); ++index) {
        const RunFile& file = m_run->files()[index];
        if (file.fromBackup) {
            continue;
        }
        const bool due = std::any_of(scales.begin(), scales.end(), [&](const RunScale& scale) {
            return std::any_of(scale.plan.begin(), scale.plan.end(),
                               [&](const LineRange& range) { return range.file == index; });
        });
        const bool everyScaleHasIt =
            std::all_of(scales.begin(), scales.end(),
                        [&](const RunScale& scale) { return m_run->fileDone(scale, index); });
        // The journal brings a scale level from the backup later; without it the file stays
        // until every scale has it. No scale reached: it stays, as it always did.
        const bool journaled = journal != nullptr && file.journalId != 0;
        if (scales.empty() || (!journaled && !everyScaleHasIt) || (due && !m_run->attempted)) {
            summary.keptForNextRun.push_back(file.entry.path);
            continue;
        }
        const BackupOutcome outcome = backupDataFile(file.entry, m_run->stamp());
        if (!outcome.backup.empty()) {
            summary.backedUp.push_back(file.entry.path);
            if (journaled) {
                journal->recordBackup(file.journalId, outcome.backup);
            }
        } else if (!fileExists(file.entry.path) ||
                   fileStamp(file.entry.path) != file.entry.readStamp) {
            // Rewritten after reading: its new bytes are a new file, sent whole next time.
            summary.keptForNextRun.push_back(file.entry.path);
            if (journaled) {
                journal->markSuperseded(file.journalId);
            }
        } else {
            trace("cannot back up " + file.entry.path + ": " + outcome.error);
            summary.backupFailures.push_back({file.entry.path, outcome.error});
        }
    }
}

void UpdateRun::restartTimerLocked()
{
    m_timer.restart(m_earlyTickMs != 0 ? m_earlyTickMs : m_period.milliseconds);
}

} // namespace ostrel
