#include "engine/UpdateRun.h"

#include "engine/DataFileReader.h"
#include "engine/DataOption.h"
#include "engine/DeliveryJournal.h"
#include "engine/JournalRecovery.h"
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
    if (m_batchTickArmed) {
        m_batchTickArmed = false;
        restartTimerLocked(); // the quick tick took the next files; the period holds again
    }
    m_run = std::make_unique<ActiveRun>(inputs.stamp, inputs.scales);
    m_run->trigger = inputs.trigger;
    m_run->startTime = isoLocalTime(std::chrono::system_clock::now());
    m_run->setJournal(journalLocked(inputs.format.searchPattern));
    if (m_journal) {
        m_journal->clearWriteError(); // an earlier run's failure is that run's
    }
    return true;
}

DeliveryJournal* UpdateRun::journalLocked(const std::string& searchPattern)
{
    if (m_journal) {
        return m_journal.get();
    }
    ::mkdir(m_paths.logFolder.c_str(), 0777); // one level, as the log does
    JournalOpening opening =
        openDeliveryJournal(m_paths.logFolder + "/" + kJournalFileName,
                            m_paths.logFolder + "/" + kRunResultFileName, searchPattern);
    m_journal = std::move(opening.journal);
    if (!m_journal && opening.error != m_journalError) {
        // Runs go on; a file is then backed up only when every scale got all of it.
        trace("delivery journal unavailable: " + opening.error);
    }
    m_journalError = opening.error;
    if (!opening.notice.empty()) {
        m_journalNotice = std::move(opening.notice);
    }
    return m_journal.get();
}

bool UpdateRun::catchUpPendingLocked(const std::vector<ScaleEntry>& scales,
                                     const std::string& searchPattern)
{
    DeliveryJournal* journal = journalLocked(searchPattern);
    if (!m_journalNotice.empty()) {
        return true;
    }
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
        m_run->journalNotice = std::exchange(m_journalNotice, {});
        m_run->resend = inputs.resend;
        m_run->filesWaiting = inputs.filesWaiting;
        m_run->stillBeingWritten = inputs.stillBeingWritten;
        if (DeliveryJournal* journal = m_run->journal(); journal != nullptr && !inputs.resend) {
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
    reader.setEncoding(inputs.encoding);
    planner.read(reader, inputs.files, std::move(pending));
    const RunLineSources sources{m_paths.pluIdIni, m_paths.rulesFile, inputs.runSettingsFile};
    {
        Lock lock(*this);
        DeliveryJournal* journal = m_run->journal();
        if (!planner.plan(*m_run, journal, m_logPaths, sources, inputs.fileType,
                          m_holder.decimals(), inputs.resend)) {
            // Sent now, its lines would be recorded nowhere: a scale that drops part-way
            // would never get the rest. Nothing goes out; the files stay for the next run.
            m_run->journalFailure = journal->writeError();
            journal->clearWriteError();
            failForJournal();
            m_run->opening = false;
            endRun(false);
            return 0;
        }
        m_run->prepareDelta(inputs.delta, dayNumber(inputs.today), inputs.fullSend);
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

void UpdateRun::tickWhenFree()
{
    Lock lock(*this);
    if (!m_busy && !m_windowOpen) {
        m_timer.restart(kQuickTickMs);
        m_batchTickArmed = true;
        return;
    }
    m_tickWhenFree = true;
}

void UpdateRun::quickTickDone()
{
    Lock lock(*this);
    if (m_batchTickArmed && !m_busy) {
        m_batchTickArmed = false;
        restartTimerLocked();
    }
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
    if (!open && !m_busy && std::exchange(m_tickWhenFree, false)) {
        m_timer.restart(kQuickTickMs);
        m_batchTickArmed = true;
    }
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
