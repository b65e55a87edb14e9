#include "engine/UpdateRun.h"

#include "engine/DataFileReader.h"
#include "engine/DataOption.h"
#include "engine/DeliveryJournal.h"
#include "engine/RunBlocks.h"
#include "engine/RunPlanner.h"
#include "engine/RunResultFile.h"
#include "engine/RunServices.h"
#include "engine/ScaleOpening.h"
#include "platform/Trace.h"
#include "protocol/ScaleLibrary.h"
#include "settings/SettingsHolder.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include <sys/stat.h>

namespace ostrel {
namespace {

const char* const kStoppedWhileOpening = "run stopped while the scale was being opened";

} // namespace

UpdateRun::Lock::~Lock()
{
    std::optional<RunSummary> summary = std::exchange(m_run.m_pendingSummary, std::nullopt);
    std::function<void(const RunSummary&)> handler;
    if (summary) {
        handler = m_run.m_onFinished;
        m_run.m_handingOver = true; // set before the unlock: an idle run is not yet reported
    }
    m_lock.unlock();
    if (summary && handler) {
        handler(*summary);
    }
    if (summary) {
        m_run.m_handingOver = false;
    }
}

UpdateRun::UpdateRun(Services services)
    : m_paths(services.paths), m_library(services.library), m_progress(services.progress),
      m_timer(services.timer),
      m_holder(services.holder), m_logPaths{m_paths.logFolder, m_paths.logFile},
      m_transfer(m_library, m_progress, m_logPaths, [this] { FinishRunIfDone(); })
{
    m_registration.emplace(*this);
}

UpdateRun::~UpdateRun()
{
    // Scales still opening give up at their next step; their workers end before the run does.
    std::vector<std::unique_ptr<ScaleOpening>> openings;
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
        if (m_busy && m_run) {
            m_run->stopRequested = true;
        }
        openings = std::move(m_openings);
    }
    m_library.stopWaiting(); // the workers joined below must not sit out a time limit
    openings.clear();
    m_library.resumeWaiting();
    m_registration.reset(); // waits for callbacks still inside; none can hold our lock now
    std::lock_guard lock(m_mutex);
    if (!m_busy || !m_run) {
        return;
    }
    // Scales still sending are let go, so the library does not talk to them for nobody.
    for (auto& scale : m_run->scales()) {
        if (scale.sendCalled && !scale.entry.finished) {
            m_library.Disconnect(scale.entry.ip(), -1);
        }
    }
}

int UpdateRun::RunUpdate(const RunInputs& inputs, bool& started)
{
    {
        Lock lock(*this);
        started = beginLocked(inputs);
    }
    return started ? proceed(inputs) : 0;
}

bool UpdateRun::beginLocked(const RunInputs& inputs)
{
    if (m_windowOpen || m_busy) {
        return false;
    }
    m_busy = true;
    m_run = std::make_unique<ActiveRun>(inputs.stamp, inputs.scales);
    m_run->trigger = inputs.trigger;
    m_run->startTime = isoLocalTime(std::chrono::system_clock::now());
    m_run->setJournal(journalLocked());
    return true;
}

DeliveryJournal* UpdateRun::journalLocked()
{
    if (m_journal) {
        return m_journal.get();
    }
    ::mkdir(m_paths.logFolder.c_str(), 0777); // one level, as the log does
    std::string error;
    m_journal = DeliveryJournal::open(m_paths.logFolder + "/" + kJournalFileName, &error);
    if (!m_journal && error != m_journalError) {
        // Runs go on; a file is then backed up only when every scale got all of it.
        trace("delivery journal unavailable: " + error);
    }
    m_journalError = error;
    return m_journal.get();
}

bool UpdateRun::catchUpPendingLocked(const std::vector<ScaleEntry>& scales)
{
    DeliveryJournal* journal = journalLocked();
    if (journal == nullptr) {
        return false;
    }
    std::vector<std::string> keys;
    keys.reserve(scales.size());
    for (const auto& scale : scales) {
        keys.push_back(scaleKey(scale));
    }
    return !journal->pending(keys).empty();
}

int UpdateRun::proceed(const RunInputs& inputs)
{
    PrepareDataOption(inputs.format, m_paths.dataOptionIni, [this](const std::string& path) {
        m_library.SetDataOptionFilePath(path.c_str());
    });

    std::vector<DeliveryJournal::Pending> pending;
    {
        Lock lock(*this);
        if (DeliveryJournal* journal = m_run->journal()) {
            std::vector<std::string> keys;
            keys.reserve(m_run->scales().size());
            for (const auto& scale : m_run->scales()) {
                keys.push_back(scale.key);
            }
            pending = journal->pending(keys);
        }
    }
    // Reading needs no lock: nothing but this run will ever look at these lines and files.
    RunPlanner planner;
    DataFileReader reader(LineSplitter(inputs.format), readStartRow(m_paths.tarvikIni));
    planner.read(reader, inputs.files, std::move(pending));
    const RunLineSources sources{m_paths.pluIdIni, m_paths.rulesFile, inputs.runSettingsFile};
    {
        Lock lock(*this);
        planner.plan(*m_run, m_run->journal(), m_logPaths, sources, inputs.fileType,
                     m_holder.decimals());
        bool anythingDue = false;
        for (RunScale& scale : m_run->scales()) {
            anythingDue = anythingDue || !scale.plan.empty();
            if (scale.plan.empty()) {
                // It has every line already: it is not contacted and logs nothing.
                scale.entry.finished = true;
                scale.entry.succeeded = true;
            }
        }
        if (!anythingDue) {
            m_run->opening = false;
            endRun(false);
            return 0;
        }
        m_run->startProgress(m_progress);
    }
    // m_run stays this run's until it is idle again, and only this thread replaces it.
    ActiveRun& run = *m_run;
    std::vector<std::unique_ptr<ScaleOpening>> ended; // joined after the lock is released
    Lock lock(*this);
    for (auto it = m_openings.begin(); it != m_openings.end();) {
        if ((*it)->finished()) {
            ended.push_back(std::move(*it));
            it = m_openings.erase(it);
        } else {
            ++it;
        }
    }
    m_openings.push_back(std::make_unique<ScaleOpening>(
        run.scales().size(),
        [this, &run](std::size_t index) {
            RunScale& scale = run.scales()[index];
            if (!scale.plan.empty()) {
                openScale(run, scale);
            }
        },
        [this, &run] {
            Lock done(*this);
            run.opening = false;
            if (!m_closing) {
                FinishRunIfDone();
            }
        }));
    return static_cast<int>(run.lines().size());
}

void UpdateRun::waitForOpening()
{
    std::vector<std::unique_ptr<ScaleOpening>> openings;
    {
        std::lock_guard lock(m_mutex);
        openings = std::move(m_openings);
    }
    openings.clear();
}

void UpdateRun::openScale(ActiveRun& run, RunScale& scale)
{
    // Runs on a worker of the opening, beside the other scales' workers. The scale's address,
    // port, model and versions never change during the run, so they are read here without the
    // lock; CheckIp2 and Connect wait for the library's thread, whose callbacks take the lock.
    const ScaleEntry& entry = scale.entry;
    auto fail = [this, &run, &scale] {
        run.log(m_logPaths, scale, kLogFailed);
        scale.entry.finished = true;
        scale.entry.succeeded = false;
    };
    {
        Lock lock(*this);
        if (run.stopRequested) {
            scale.failReason = "run stopped before the scale was contacted";
            fail();
            return;
        }
        std::string problem = scaleEntryProblem(entry);
        if (problem.empty() && run.FindScaleByIp(entry.ip()) != &scale) {
            // Replies name a scale by its address: a second scale with the same address would
            // never hear back, and the run would never end.
            problem = "an earlier scale in [IPLIST] has the same address";
        }
        if (!problem.empty()) {
            scale.notTried = problem;
            scale.failReason = problem;
            trace("scale " + std::string(entry.ip()) + " not tried: " + problem);
            fail();
            return;
        }
    }
    const auto checkStart = std::chrono::steady_clock::now();
    if (m_library.CheckIp2(1, entry.ip(), static_cast<std::uint16_t>(entry.port)) <= 0) {
        // The library says only "no"; a quick no is a refusal, a slow one the time limit.
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - checkStart);
        Lock lock(*this);
        if (run.stopRequested) {
            scale.failReason = kStoppedWhileOpening;
        } else {
            run.noteFailure(scale, unreachableReason(waited));
        }
        fail();
        return;
    }
    {
        Lock lock(*this);
        scale.reached = true;
        run.attempted = true;
    }
    const ConnectionBlock block =
        makeConnectionBlock(entry, &CallbackRouter::onReply, &CallbackRouter::onEvent);
    int result = m_library.AddConnectionEx(block) != 0 ? 1 : 0;
    const bool registered = result == 1;
    const bool connected = result == 1 && m_library.Connect(entry.ip(), -1) > 0;
    if (!connected) {
        result = 0;
    }
    Lock lock(*this);
    if (scale.entry.finished) {
        return; // a connection event ended it while it was opening
    }
    if (!registered) {
        run.noteFailure(scale, "model " + entry.modelName + " has no interpreter");
    } else if (!connected && run.stopRequested) {
        scale.failReason = kStoppedWhileOpening;
    } else if (!connected) {
        run.noteFailure(scale, "the connection could not be opened");
    }
    if (result == 1 && run.stopRequested) {
        // Stopped while it was connecting: its first record never goes out.
        m_library.Disconnect(entry.ip(), -1);
        result = 0;
        scale.failReason = "run stopped before the scale was contacted";
    }
    if (result == 1) {
        run.startPlan(scale);
        result = m_transfer.sendFirstLine(scale, run);
        if (result == 0 && !scale.sendCalled) {
            // Every due line was passed over (no record): nothing to send, nothing lost.
            run.log(m_logPaths, scale, kLogSuccess);
            m_library.Disconnect(entry.ip(), -1);
            scale.entry.finished = true;
            scale.entry.succeeded = true;
            return;
        }
    }
    run.log(m_logPaths, scale, result >= 1 ? kLogSuccess : kLogFailed);
    if (result >= 1) {
        return; // the replies carry the rest of its lines
    }
    if (scale.failReason.empty()) {
        run.noteFailure(scale, "the first record could not be sent");
    }
    if (scale.sendCalled) {
        m_transfer.DisconnectScale(run, entry.ip());
    }
    scale.entry.finished = true;
    scale.entry.succeeded = false;
}

void UpdateRun::FinishRunIfDone()
{
    if (!m_busy || !m_run || m_run->opening || !m_run->allFinished()) {
        return;
    }
    endRun(true);
}

void UpdateRun::endRun(bool progressShown)
{
    m_run->flushJournal();
    RunSummary summary = m_run->summary();
    summary.keptForNextRun = m_run->unread;
    summary.catchUpsGone = m_run->catchUpsGone;
    if (m_run->stopRequested) {
        // Stopped part-way: every file stays; the journal knows which lines went out.
        for (const RunFile& file : m_run->files()) {
            if (!file.fromBackup) {
                summary.keptForNextRun.push_back(file.entry.path);
            }
        }
    } else {
        backUpFiles(summary);
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
    restartTimerLocked();
    m_library.resumeWaiting(); // a stop asked of this run is over; nothing of it is opening
    m_run->attempted = false;
    m_busy = false;
    m_pendingSummary = std::move(summary);
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

bool UpdateRun::requestStop()
{
    Lock lock(*this);
    if (!m_busy || !m_run) {
        return false;
    }
    m_run->stopRequested = true;
    // Scales still being checked or connected give up now, not after their time limits.
    m_library.stopWaiting();
    return true;
}

void UpdateRun::setPeriod(const UpdatePeriod& period)
{
    Lock lock(*this);
    m_period = period;
}

void UpdateRun::restartTimer()
{
    Lock lock(*this);
    restartTimerLocked();
}

void UpdateRun::setEarlyTick(std::uint32_t milliseconds)
{
    Lock lock(*this);
    m_earlyTickMs = milliseconds;
}

void UpdateRun::stopTimer()
{
    Lock lock(*this);
    m_timer.stop();
}

int UpdateRun::replyArrived(const SendBlock& block)
{
    Lock lock(*this);
    if (m_holder.runMode() == RunMode::ScaleQuery) {
        return m_onScaleQueryReply ? m_onScaleQueryReply(block) : 0;
    }
    if (!m_busy || !m_run) {
        return 0;
    }
    return m_transfer.handleReply(*m_run, block);
}

int UpdateRun::eventArrived(const SendBlock& block)
{
    if (m_holder.runMode() == RunMode::ScaleQuery || eventCode(block) != kEventConnectionFailed) {
        return 0;
    }
    Lock lock(*this);
    if (m_busy && m_run) {
        m_transfer.FailScale(*m_run, block, kFailConnection);
    }
    return 0;
}

void UpdateRun::setWindowOpen(bool open)
{
    Lock lock(*this);
    m_windowOpen = open;
}

bool UpdateRun::windowOpen() const
{
    std::lock_guard lock(m_mutex);
    return m_windowOpen;
}

bool UpdateRun::runBusy() const
{
    std::lock_guard lock(m_mutex);
    return m_busy;
}

std::optional<RunSummary> UpdateRun::runSoFar() const
{
    std::lock_guard lock(m_mutex);
    if (!m_run) {
        return std::nullopt;
    }
    return m_run->summary();
}

bool UpdateRun::runOrReportBusy() const
{
    std::lock_guard lock(m_mutex);
    return m_busy || m_pendingSummary.has_value() || m_handingOver;
}

void UpdateRun::setRunFinishedHandler(std::function<void(const RunSummary&)> handler)
{
    Lock lock(*this);
    m_onFinished = std::move(handler);
}

void UpdateRun::setScaleQueryReplyHandler(std::function<int(const SendBlock&)> handler)
{
    Lock lock(*this);
    m_onScaleQueryReply = std::move(handler);
}

} // namespace ostrel
