#include "engine/UpdateRun.h"

#include "engine/DataFileReader.h"
#include "engine/DataOption.h"
#include "engine/RunBlocks.h"
#include "engine/RunServices.h"
#include "engine/SettingsHolder.h"
#include "platform/Trace.h"
#include "protocol/ScaleLibrary.h"

#include <utility>

namespace ostrel {

UpdateRun::Lock::~Lock()
{
    std::optional<RunSummary> summary = std::exchange(m_run.m_pendingSummary, std::nullopt);
    std::function<void(const RunSummary&)> handler;
    if (summary) {
        handler = m_run.m_onFinished;
    }
    m_lock.unlock();
    if (summary && handler) {
        handler(*summary);
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

int UpdateRun::RunUpdate(RunInputs inputs, bool& started)
{
    {
        Lock lock(*this);
        started = beginLocked(inputs);
    }
    return started ? proceed(std::move(inputs)) : 0;
}

bool UpdateRun::beginLocked(const RunInputs& inputs)
{
    if (m_windowOpen || m_busy) {
        return false;
    }
    m_busy = true;
    m_run = std::make_unique<ActiveRun>(inputs.stamp, inputs.files, inputs.scales);
    return true;
}

int UpdateRun::proceed(RunInputs inputs)
{
    PrepareDataOption(inputs.format, m_paths.dataOptionIni, [this](const std::string& path) {
        m_library.SetDataOptionFilePath(path.c_str());
    });

    // Reading needs no lock: nothing but this run will ever look at these lines and files.
    LineTable table;
    int last = 0;
    DataFileReader reader(LineSplitter(inputs.format), readStartRow(m_paths.tarvikIni));
    for (auto& file : inputs.files) {
        reader.resetUtf8Flag();
        last = reader.ReadDataFile(file.path, table, &file.readStamp);
    }
    const RunLineSources sources{m_paths.pluIdIni, m_paths.rulesFile, inputs.runSettingsFile};
    {
        Lock lock(*this);
        m_run->files() = std::move(inputs.files);
        m_run->setLines(RunLines(std::move(table), inputs.fileType, m_holder.decimals(), sources));
        if (m_run->files().empty() || last == 0) {
            m_run->opening = false;
            endRun(false);
            return 0;
        }
        m_run->startProgress(m_progress);
    }
    // m_run stays this run's until it is idle again, and only this thread replaces it.
    for (auto& scale : m_run->scales()) {
        openScale(scale);
    }
    Lock lock(*this);
    m_run->opening = false;
    FinishRunIfDone();
    return last;
}

void UpdateRun::openScale(RunScale& scale)
{
    // The scale's address, port, model and versions never change during the run, so they are
    // read here without the lock; CheckIp2 and Connect wait for the library's thread, whose
    // callbacks take the lock.
    const ScaleEntry& entry = scale.entry;
    auto fail = [this, &scale] {
        m_run->log(m_logPaths, scale, kLogFailed);
        scale.entry.finished = true;
        scale.entry.succeeded = false;
    };
    {
        Lock lock(*this);
        if (m_run->stopRequested) {
            fail();
            return;
        }
        std::string problem = scaleEntryProblem(entry);
        if (problem.empty() && m_run->FindScaleByIp(entry.ip()) != &scale) {
            // Replies name a scale by its address: a second scale with the same address would
            // never hear back, and the run would never end.
            problem = "an earlier scale in [IPLIST] has the same address";
        }
        if (!problem.empty()) {
            scale.notTried = problem;
            trace("scale " + std::string(entry.ip()) + " not tried: " + problem);
            fail();
            return;
        }
    }
    if (m_library.CheckIp2(1, entry.ip(), static_cast<std::uint16_t>(entry.port)) <= 0) {
        Lock lock(*this);
        fail();
        return;
    }
    {
        Lock lock(*this);
        scale.reached = true;
        m_run->attempted = true;
    }
    const ConnectionBlock block =
        makeConnectionBlock(entry, &CallbackRouter::onReply, &CallbackRouter::onEvent);
    int result = m_library.AddConnectionEx(block) != 0 ? 1 : 0;
    if (result == 1 && m_library.Connect(entry.ip(), -1) <= 0) {
        result = 0;
    }
    Lock lock(*this);
    if (scale.entry.finished) {
        return; // a connection event ended it while it was opening
    }
    if (result == 1) {
        result = m_transfer.sendFirstLine(scale, *m_run);
    }
    m_run->log(m_logPaths, scale, result >= 1 ? kLogSuccess : kLogFailed);
    if (result >= 1) {
        return; // the replies carry the rest of its lines
    }
    if (scale.sendCalled) {
        m_transfer.DisconnectScale(*m_run, entry.ip());
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
    std::vector<std::string> backedUp;
    std::vector<std::string> kept;
    if (m_run->stopRequested) {
        // Stopped part-way: every file stays for a later run.
        for (const auto& file : m_run->files()) {
            kept.push_back(file.path);
        }
    } else if (m_run->attempted) {
        std::vector<DataFileEntry> toBackUp;
        for (const auto& file : m_run->files()) {
            // Never read, or changed since: its lines were not (all) sent.
            if (!file.readStamp || fileStamp(file.path) != file.readStamp) {
                kept.push_back(file.path);
            } else {
                toBackUp.push_back(file);
            }
        }
        BackupDataFiles(toBackUp, m_run->stamp());
        for (const auto& file : toBackUp) {
            (fileExists(file.path) ? kept : backedUp).push_back(file.path);
        }
    }
    if (progressShown) {
        m_progress.CompleteProgress();
    }
    restartTimerLocked();
    m_run->attempted = false;
    m_busy = false;
    m_pendingSummary = m_run->summary(std::move(backedUp), std::move(kept));
}

void UpdateRun::restartTimerLocked()
{
    m_timer.restart(m_period.milliseconds);
}

bool UpdateRun::requestStop()
{
    Lock lock(*this);
    if (!m_busy || !m_run) {
        return false;
    }
    m_run->stopRequested = true;
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
