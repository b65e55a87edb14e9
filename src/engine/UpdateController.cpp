#include "engine/UpdateController.h"

#include "engine/ActiveRun.h"
#include "engine/CallbackRouter.h"
#include "engine/DataFileReader.h"
#include "engine/DataOption.h"
#include "engine/RunBlocks.h"
#include "engine/RunSettings.h"
#include "engine/ScaleTransfer.h"
#include "engine/SettingsHolder.h"
#include "format/ImportFormatLoader.h"
#include "format/LayoutKeys.h"
#include "protocol/ScaleLibrary.h"

#include <mutex>
#include <optional>
#include <utility>

namespace ostrel {

namespace {

constexpr int kCopyDataRun = 82;
constexpr int kCopyDataReloadAndRun = 1094;

} // namespace

class UpdateController::Impl final : public CallbackTarget
{
public:
    explicit Impl(Dependencies deps);
    ~Impl();
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    void startUp();
    void onTimerTick();
    void onDirectDownload();
    void onCopyData(int code);
    void onReloadSettings();
    int connectProcessScale(const std::string& ipText, std::uint16_t port, std::uint16_t model);

    void setWindowOpen(bool open);
    bool windowOpen() const;
    bool runBusy() const;
    SettingsHolder& holder() { return m_holder; }
    void setRunFinishedHandler(std::function<void(const RunSummary&)> handler);
    void setScaleQueryReplyHandler(std::function<int(const SendBlock&)> handler);

    int replyArrived(const SendBlock& block) override;
    int eventArrived(const SendBlock& block) override;

private:
    // The engine's lock. A run that ended while it was held hands its summary to the handler
    // once it is released, so the handler may call back into the engine.
    class EngineLock final
    {
    public:
        explicit EngineLock(Impl& impl) : m_impl(impl), m_lock(impl.m_mutex) {}
        ~EngineLock();
        EngineLock(const EngineLock&) = delete;
        EngineLock& operator=(const EngineLock&) = delete;

    private:
        Impl& m_impl;
        std::unique_lock<std::mutex> m_lock;
    };

    // LoadRunSettings and LoadImportFormat: files are read and the message shown without the
    // lock; the results are installed under it.
    void loadSettings();
    void makeStamp();
    // Rediscovery, HasNewDataFile and RunUpdate; true when a run started.
    bool triggeredRun(const std::string& pattern);
    int RunUpdate(bool& started);
    void openScale(RunScale& scale);
    // With the lock held.
    void FinishRunIfDone();
    void endRun(bool progressShown);
    void restartTimer();

    Dependencies m_deps;
    const SendLogPaths m_logPaths;
    SettingsHolder m_holder;
    ImportFormatLoader m_formatLoader; // triggers' thread only

    mutable std::mutex m_mutex;
    RunSettings m_settings;
    ImportFormat m_format;
    std::string m_pattern;
    std::string m_stamp;
    std::vector<DataFileEntry> m_found;
    bool m_windowOpen = false;
    bool m_busy = false;
    std::unique_ptr<ActiveRun> m_run; // kept after its end: the library may still hold its texts
    std::optional<RunSummary> m_pendingSummary;
    std::function<void(const RunSummary&)> m_onFinished;
    std::function<int(const SendBlock&)> m_onScaleQueryReply;
    ScaleTransfer m_transfer;

    // Removed first thing in the destructor: no callback reaches a half-destroyed engine.
    std::optional<CallbackRouter::Registration> m_registration;
};

UpdateController::Impl::EngineLock::~EngineLock()
{
    std::optional<RunSummary> summary = std::exchange(m_impl.m_pendingSummary, std::nullopt);
    std::function<void(const RunSummary&)> handler;
    if (summary) {
        handler = m_impl.m_onFinished;
    }
    m_lock.unlock();
    if (summary && handler) {
        handler(*summary);
    }
}

UpdateController::Impl::Impl(Dependencies deps)
    : m_deps(std::move(deps)), m_logPaths{m_deps.paths.logFolder, m_deps.paths.logFile},
      m_formatLoader(m_deps.paths, m_deps.messages),
      m_transfer(m_deps.library, m_deps.progress, m_logPaths, [this] { FinishRunIfDone(); })
{
    m_settings.runSettingsFile = m_deps.paths.tarvikIni;
    m_registration.emplace(*this);
}

UpdateController::Impl::~Impl()
{
    m_registration.reset(); // waits for callbacks still inside; none can hold our lock now
    std::lock_guard lock(m_mutex);
    if (!m_busy || !m_run) {
        return;
    }
    // Scales still sending are let go, so the library does not talk to them for nobody.
    for (auto& scale : m_run->scales()) {
        if (scale.sendCalled && !scale.entry.finished) {
            m_deps.library.Disconnect(scale.entry.ip(), -1);
        }
    }
}

void UpdateController::Impl::makeStamp()
{
    const std::string stamp = MakeRunStamp(m_deps.clock);
    EngineLock lock(*this);
    m_stamp = stamp;
}

void UpdateController::Impl::loadSettings()
{
    LoadedRunSettings loaded = readRunSettings(m_deps.paths);
    std::string runSettingsFile;
    ImportFormat format;
    {
        EngineLock lock(*this);
        if (loaded.fileFound) {
            m_settings = std::move(loaded.settings);
            m_pattern = m_settings.searchPattern;
        }
        runSettingsFile = m_settings.runSettingsFile;
        format = m_format;
    }
    if (loaded.fileFound) {
        m_holder.setScaleCount(loaded.scaleCount);
        if (loaded.scaleCount == 0) {
            showNoScaleMessage(m_deps.messages);
        }
    }
    if (m_formatLoader.LoadImportFormat(format, runSettingsFile)) {
        EngineLock lock(*this);
        m_format = std::move(format);
        m_pattern = m_format.searchPattern;
    }
}

void UpdateController::Impl::restartTimer()
{
    m_deps.timer.restart(m_settings.period.milliseconds);
}

void UpdateController::Impl::startUp()
{
    makeStamp();
    m_holder.loadDecimalPoint(m_deps.paths.tarvikIni);
    std::string pattern = readSearchPattern(m_deps.paths.tarvikIni);
    {
        EngineLock lock(*this);
        m_pattern = std::move(pattern);
    }
    loadSettings();
    {
        EngineLock lock(*this);
        restartTimer();
        pattern = m_pattern;
    }
    auto files = FindDataFiles(pattern);
    std::string createDate;
    {
        EngineLock lock(*this);
        m_found = files;
        createDate = m_settings.createDate;
    }
    RegisterInterpreters(m_deps.library);
    if (HasNewDataFile(files, createDate, m_holder) == 1) {
        bool started = false;
        RunUpdate(started);
    }
}

void UpdateController::Impl::onTimerTick()
{
    std::string pattern;
    {
        EngineLock lock(*this);
        m_found.clear();
        pattern = m_pattern;
    }
    makeStamp();
    triggeredRun(pattern);
}

void UpdateController::Impl::onDirectDownload()
{
    {
        EngineLock lock(*this);
        m_deps.timer.stop();
    }
    loadSettings();
    makeStamp();
    std::string pattern = readSearchPattern(m_deps.paths.tarvikIni);
    {
        EngineLock lock(*this);
        m_pattern = pattern;
    }
    if (!triggeredRun(pattern)) {
        // Waiting for a reload to restart it would leave the shop without updates.
        EngineLock lock(*this);
        restartTimer();
    }
}

void UpdateController::Impl::onCopyData(int code)
{
    if (code != kCopyDataRun && code != kCopyDataReloadAndRun) {
        return;
    }
    if (code == kCopyDataRun) {
        std::string pattern;
        {
            EngineLock lock(*this);
            m_found.clear();
        }
        makeStamp();
        {
            EngineLock lock(*this);
            pattern = m_pattern;
        }
        triggeredRun(pattern);
        return;
    }
    makeStamp();
    loadSettings();
    std::string pattern;
    {
        EngineLock lock(*this);
        m_found.clear();
        pattern = m_pattern;
    }
    triggeredRun(pattern);
}

void UpdateController::Impl::onReloadSettings()
{
    loadSettings();
    EngineLock lock(*this);
    restartTimer();
    m_windowOpen = false;
}

bool UpdateController::Impl::triggeredRun(const std::string& pattern)
{
    auto files = FindDataFiles(pattern);
    std::string createDate;
    {
        EngineLock lock(*this);
        m_found = files;
        createDate = m_settings.createDate;
    }
    if (HasNewDataFile(files, createDate, m_holder) != 1) {
        return false;
    }
    bool started = false;
    RunUpdate(started);
    return started;
}

int UpdateController::Impl::RunUpdate(bool& started)
{
    std::vector<DataFileEntry> files;
    ImportFormat format;
    int fileType = kSeparatedType;
    std::string runSettingsFile;
    {
        EngineLock lock(*this);
        if (m_windowOpen || m_busy) {
            return 0;
        }
        m_busy = true;
        started = true;
        files = m_found;
        format = m_format;
        fileType = m_settings.fileType;
        runSettingsFile = m_settings.runSettingsFile;
        m_run = std::make_unique<ActiveRun>(m_stamp, files, m_settings.scales);
    }
    PrepareDataOption(format, m_deps.paths.dataOptionIni, [this](const std::string& path) {
        m_deps.library.SetDataOptionFilePath(path.c_str());
    });

    // Reading needs no lock: nothing but this run will ever look at these lines and files.
    LineTable table;
    int last = 0;
    DataFileReader reader(LineSplitter(format), readStartRow(m_deps.paths.tarvikIni));
    for (auto& file : files) {
        reader.resetUtf8Flag();
        last = reader.ReadDataFile(file.path, table, &file.readStamp);
    }
    const RunLineSources sources{m_deps.paths.pluIdIni, m_deps.paths.rulesFile, runSettingsFile};
    {
        EngineLock lock(*this);
        m_run->files() = std::move(files);
        m_run->setLines(RunLines(std::move(table), fileType, m_holder.decimals(), sources));
        if (m_run->files().empty() || last == 0) {
            m_run->opening = false;
            endRun(false);
            return 0;
        }
        m_run->startProgress(m_deps.progress);
    }
    // m_run stays this run's until it is idle again, and only this thread replaces it.
    for (auto& scale : m_run->scales()) {
        openScale(scale);
    }
    EngineLock lock(*this);
    m_run->opening = false;
    FinishRunIfDone();
    return last;
}

void UpdateController::Impl::openScale(RunScale& scale)
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
        EngineLock lock(*this);
        if (m_run->FindScaleByIp(entry.ip()) != &scale) {
            // Replies name a scale by its address: a second scale with the same address would
            // never hear back, and the run would never end.
            fail();
            return;
        }
    }
    if (m_deps.library.CheckIp2(1, entry.ip(), static_cast<std::uint16_t>(entry.port)) <= 0) {
        EngineLock lock(*this);
        fail();
        return;
    }
    {
        EngineLock lock(*this);
        scale.reached = true;
        m_run->attempted = true;
    }
    int result = m_deps.library.AddConnectionEx(makeConnectionBlock(entry, &CallbackRouter::onReply,
                                                                    &CallbackRouter::onEvent)) != 0
                     ? 1
                     : 0;
    if (result == 1 && m_deps.library.Connect(entry.ip(), -1) <= 0) {
        result = 0;
    }
    EngineLock lock(*this);
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

void UpdateController::Impl::FinishRunIfDone()
{
    if (!m_busy || !m_run || m_run->opening || !m_run->allFinished()) {
        return;
    }
    endRun(true);
}

void UpdateController::Impl::endRun(bool progressShown)
{
    std::vector<std::string> backedUp;
    std::vector<std::string> kept;
    if (m_run->attempted) {
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
        m_deps.progress.CompleteProgress();
    }
    restartTimer();
    m_run->attempted = false;
    m_busy = false;
    m_pendingSummary = m_run->summary(std::move(backedUp), std::move(kept));
}

int UpdateController::Impl::replyArrived(const SendBlock& block)
{
    EngineLock lock(*this);
    if (m_holder.runMode() == RunMode::ScaleQuery) {
        return m_onScaleQueryReply ? m_onScaleQueryReply(block) : 0;
    }
    if (!m_busy || !m_run) {
        return 0;
    }
    return m_transfer.handleReply(*m_run, block);
}

int UpdateController::Impl::eventArrived(const SendBlock& block)
{
    if (m_holder.runMode() == RunMode::ScaleQuery || eventCode(block) != kEventConnectionFailed) {
        return 0;
    }
    EngineLock lock(*this);
    if (m_busy && m_run) {
        m_transfer.FailScale(*m_run, block, kFailConnection);
    }
    return 0;
}

int UpdateController::Impl::connectProcessScale(const std::string& ipText, std::uint16_t port,
                                                std::uint16_t model)
{
    return ostrel::ConnectProcessScale(m_deps.library, ipText, port, model,
                                       &CallbackRouter::onReply, &CallbackRouter::onEvent);
}

void UpdateController::Impl::setWindowOpen(bool open)
{
    EngineLock lock(*this);
    m_windowOpen = open;
}

bool UpdateController::Impl::windowOpen() const
{
    std::lock_guard lock(m_mutex);
    return m_windowOpen;
}

bool UpdateController::Impl::runBusy() const
{
    std::lock_guard lock(m_mutex);
    return m_busy;
}

void UpdateController::Impl::setRunFinishedHandler(std::function<void(const RunSummary&)> handler)
{
    EngineLock lock(*this);
    m_onFinished = std::move(handler);
}

void UpdateController::Impl::setScaleQueryReplyHandler(std::function<int(const SendBlock&)> handler)
{
    EngineLock lock(*this);
    m_onScaleQueryReply = std::move(handler);
}

UpdateController::UpdateController(Dependencies dependencies)
    : m_impl(std::make_unique<Impl>(std::move(dependencies)))
{
}

UpdateController::~UpdateController() = default;

void UpdateController::startUp()
{
    m_impl->startUp();
}
void UpdateController::onTimerTick()
{
    m_impl->onTimerTick();
}
void UpdateController::onDirectDownload()
{
    m_impl->onDirectDownload();
}
void UpdateController::onCopyData(int code)
{
    m_impl->onCopyData(code);
}
void UpdateController::onReloadSettings()
{
    m_impl->onReloadSettings();
}

int UpdateController::ConnectProcessScale(const std::string& ipText, std::uint16_t port,
                                          std::uint16_t model)
{
    return m_impl->connectProcessScale(ipText, port, model);
}

void UpdateController::setWindowOpen(bool open)
{
    m_impl->setWindowOpen(open);
}
bool UpdateController::windowOpen() const
{
    return m_impl->windowOpen();
}
bool UpdateController::runBusy() const
{
    return m_impl->runBusy();
}
int UpdateController::scaleCount() const
{
    return m_impl->holder().scaleCount();
}

void UpdateController::setRunFinishedHandler(std::function<void(const RunSummary&)> handler)
{
    m_impl->setRunFinishedHandler(std::move(handler));
}

SettingsHolder& UpdateController::settingsHolder()
{
    return m_impl->holder();
}

void UpdateController::setScaleQueryReplyHandler(std::function<int(const SendBlock&)> handler)
{
    m_impl->setScaleQueryReplyHandler(std::move(handler));
}

} // namespace ostrel
