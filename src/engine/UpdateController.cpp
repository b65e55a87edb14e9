#include "engine/UpdateController.h"

#include "engine/FileSettle.h"
#include "engine/LayoutCheck.h"
#include "engine/RunBlocks.h"
#include "engine/RunOutcome.h"
#include "engine/RunSettings.h"
#include "engine/UpdateRun.h"
#include "format/ImportFormatLoader.h"
#include "format/LayoutKeys.h"
#include "platform/MessageBox.h"
#include "platform/Trace.h"
#include "settings/SearchPattern.h"
#include "settings/SettingsHolder.h"
#include "settings/SettingsProblems.h"

#include <utility>

namespace ostrel {

namespace {

constexpr int kCopyDataRun = 82;
constexpr int kCopyDataReloadAndRun = 1094;

} // namespace

// The triggers and what they load and find; the run itself is UpdateRun's. The triggers'
// state is guarded by the engine's lock too, so a trigger and a run never see each other
// half-done.
class UpdateController::Impl final
{
public:
    explicit Impl(Dependencies deps)
        : m_deps(std::move(deps)), m_formatLoader(m_deps.paths, m_deps.messages),
          m_run({m_deps.paths, m_deps.library, m_deps.progress, m_deps.timer, m_holder})
    {
        m_settings.runSettingsFile = m_deps.paths.tarvikIni;
        m_format = defaultImportFormat();
    }

    void startUp();
    void onTimerTick();
    void onDirectDownload();
    void onCopyData(int code);
    void onReloadSettings();
    void reloadRunSettings() { loadSettings(); }
    void setStoredDefinitions(const std::vector<FixedFieldDef>& definitions)
    {
        m_formatLoader.setStoredDefinitions(definitions);
    }

    Dependencies m_deps;
    SettingsHolder m_holder;
    UpdateRun& run() { return m_run; }
    std::int64_t settleWaitMs() const { return m_settleWaitMs; }
    std::string settingsError();

private:
    // LoadRunSettings and LoadImportFormat: files are read and the message shown without the
    // lock (a modal box may run an event loop that triggers again); results installed under it.
    void loadSettings();
    void makeStamp();
    void setPattern(std::string pattern);
    std::string pattern();
    void clearFound();
    // Rediscovery into the found-file table.
    std::vector<DataFileEntry> discover(const std::string& pattern);
    // HasNewDataFile and RunUpdate, after rediscovery unless start-up just found the files.
    // Discovery, the test and the entry conditions share one hold of the engine's lock, so a
    // run that ends meanwhile cannot leave a trigger with names it has just backed up.
    // True when a run started.
    bool triggeredRun(const std::string& pattern, const char* trigger, bool rediscover = true);

    // A trigger that left files still being written asks for an early tick to take them.
    void noteUnsettled(const FileSettle::Split& split);

    ImportFormatLoader m_formatLoader; // the triggers' thread only
    FileSettle m_settle;               // the triggers' thread only
    std::int64_t m_settleWaitMs = 0;   // the last trigger's, 0 when every file had settled
    RunSettings m_settings;
    ImportFormat m_format;
    std::string m_pattern;
    std::string m_stamp;
    std::vector<DataFileEntry> m_found;
    std::string m_settingsError; // the last load's or refused run's settings message
    UpdateRun m_run;
};

namespace {

void showSettingsProblem(MessageSink& messages, const std::string& text)
{
    messages.ShowMessage(text, "Ostrel", MessageIcon::Warning, MessageButtons::Ok);
}

} // namespace

std::string UpdateController::Impl::settingsError()
{
    UpdateRun::Lock lock(m_run);
    return m_settingsError;
}

void UpdateController::Impl::makeStamp()
{
    std::string stamp = MakeRunStamp(m_deps.clock);
    UpdateRun::Lock lock(m_run);
    m_stamp = std::move(stamp);
}

void UpdateController::Impl::setPattern(std::string pattern)
{
    UpdateRun::Lock lock(m_run);
    m_pattern = std::move(pattern);
}

std::string UpdateController::Impl::pattern()
{
    UpdateRun::Lock lock(m_run);
    return m_pattern;
}

void UpdateController::Impl::clearFound()
{
    UpdateRun::Lock lock(m_run);
    m_found.clear();
}

void UpdateController::Impl::loadSettings()
{
    const std::string problem = tarvikIniProblem(m_deps.paths.tarvikIni);
    {
        UpdateRun::Lock lock(m_run);
        m_settingsError = problem;
    }
    if (!problem.empty()) {
        showSettingsProblem(m_deps.messages, problem);
    }
    LoadedRunSettings loaded = readRunSettings(m_deps.paths);
    std::string runSettingsFile;
    ImportFormat format;
    {
        UpdateRun::Lock lock(m_run);
        if (loaded.fileFound) {
            m_settings = std::move(loaded.settings);
            m_pattern = m_settings.searchPattern;
        }
        runSettingsFile = m_settings.runSettingsFile;
        format = m_format;
    }
    if (loaded.fileFound) {
        m_run.setPeriod(m_settings.period);
        m_holder.setScaleCount(loaded.scaleCount);
        // A file that cannot be read holds no scale either; its own message said why.
        if (loaded.scaleCount == 0 && problem.empty()) {
            showNoScaleMessage(m_deps.messages);
        }
    }
    if (m_formatLoader.LoadImportFormat(format, runSettingsFile)) {
        UpdateRun::Lock lock(m_run);
        m_format = std::move(format);
        m_pattern = m_format.searchPattern;
    }
}

std::vector<DataFileEntry> UpdateController::Impl::discover(const std::string& pattern)
{
    auto files = FindDataFiles(pattern);
    UpdateRun::Lock lock(m_run);
    m_found = files;
    return files;
}

bool UpdateController::Impl::triggeredRun(const std::string& pattern, const char* trigger,
                                          bool rediscover)
{
    const int settleSeconds = readSettleSeconds(m_deps.paths.tarvikIni);
    const std::string encodingText = storedEncoding(m_deps.paths.tarvikIni);
    RunInputs inputs;
    FileSettle::Split split;
    bool started = false;
    std::string refusal;
    {
        UpdateRun::Lock lock(m_run);
        if (rediscover) {
            m_found = FindDataFiles(pattern);
        }
        split = m_settle.split(m_found, settleSeconds);
        // HasNewDataFile first: it also routes the library's replies back to runs.
        const bool fileIsNew = HasNewDataFile(split.settled, m_settings.createDate, m_holder) == 1;
        if (fileIsNew || m_run.catchUpPendingLocked(m_settings.scales)) {
            // Prices scaled by a wrong power of ten must never reach a scale, and files no line
            // of which can become a record must not be backed up as delivered.
            refusal = decimalPointProblem(m_holder.decimalPointText());
            if (refusal.empty()) {
                refusal = encodingProblem(encodingText);
            }
            if (refusal.empty()) {
                refusal = layoutProblem(m_settings.fileType, m_format, m_deps.paths.pluIdIni,
                                        m_deps.paths.prsFile);
            }
            if (!refusal.empty()) {
                m_settingsError = refusal;
            } else {
                inputs.stamp = m_stamp;
                inputs.trigger = trigger;
                inputs.files = split.settled;
                inputs.scales = m_settings.scales;
                inputs.format = m_format;
                inputs.fileType = m_settings.fileType;
                inputs.runSettingsFile = m_settings.runSettingsFile;
                inputs.encoding =
                    parseEncodingSetting(encodingText).value_or(EncodingSetting::Auto);
                started = m_run.beginLocked(inputs);
            }
        }
    }
    noteUnsettled(split);
    if (!refusal.empty()) {
        showSettingsProblem(m_deps.messages, refusal); // outside the lock: a box may be modal
        return false;
    }
    if (started) {
        m_run.proceed(inputs);
    }
    return started;
}

void UpdateController::Impl::noteUnsettled(const FileSettle::Split& split)
{
    for (const std::string& path : split.unsettled) {
        trace(path + " is still being written: left for the next trigger");
    }
    for (const DataFileEntry& file : split.heldBehind) {
        trace(file.path + " waits for an older file that is still being written");
    }
    const bool wasWaiting = m_settleWaitMs != 0;
    m_settleWaitMs = split.waitMs;
    m_run.setEarlyTick(static_cast<std::uint32_t>(split.waitMs));
    if (split.waitMs != 0 || (wasWaiting && !m_run.runBusy())) {
        m_run.restartTimer();
    }
}

void UpdateController::Impl::startUp()
{
    makeStamp();
    m_holder.loadDecimalPoint(m_deps.paths.tarvikIni);
    m_holder.loadScaleList(m_deps.paths.tarvikIni);
    setPattern(readSearchPattern(m_deps.paths.tarvikIni));
    loadSettings();
    m_run.restartTimer();
    const std::string current = pattern();
    discover(current);
    RegisterInterpreters(m_deps.library);
    triggeredRun(current, "start-up", false);
}

void UpdateController::Impl::onTimerTick()
{
    clearFound();
    makeStamp();
    triggeredRun(pattern(), "timer");
}

void UpdateController::Impl::onDirectDownload()
{
    m_run.stopTimer();
    loadSettings();
    makeStamp();
    setPattern(readSearchPattern(m_deps.paths.tarvikIni));
    if (!triggeredRun(pattern(), "direct-download") && m_settleWaitMs == 0) {
        // Waiting for a reload to restart it would leave the shop without updates.
        m_run.restartTimer();
    }
}

void UpdateController::Impl::onCopyData(int code)
{
    if (code == kCopyDataRun) {
        clearFound();
        makeStamp();
        triggeredRun(pattern(), "message");
    } else if (code == kCopyDataReloadAndRun) {
        makeStamp();
        loadSettings();
        clearFound();
        triggeredRun(pattern(), "message");
    }
}

void UpdateController::Impl::onReloadSettings()
{
    loadSettings();
    m_run.restartTimer();
    m_run.setWindowOpen(false);
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
void UpdateController::reloadRunSettings()
{
    m_impl->reloadRunSettings();
}

void UpdateController::setStoredDefinitions(const std::vector<FixedFieldDef>& definitions)
{
    m_impl->setStoredDefinitions(definitions);
}

void UpdateController::registerInterpreters()
{
    RegisterInterpreters(m_impl->m_deps.library);
}

int UpdateController::ConnectProcessScale(const std::string& ipText, std::uint16_t port,
                                          std::uint16_t model)
{
    // No lock: Connect waits for the library's thread.
    return ostrel::ConnectProcessScale(m_impl->m_deps.library, ipText, port, model,
                                       &CallbackRouter::onReply, &CallbackRouter::onEvent);
}

void UpdateController::waitForOpening()
{
    m_impl->run().waitForOpening();
}

bool UpdateController::requestStop()
{
    return m_impl->run().requestStop();
}

void UpdateController::setWindowOpen(bool open)
{
    m_impl->run().setWindowOpen(open);
}
bool UpdateController::windowOpen() const
{
    return m_impl->run().windowOpen();
}
std::vector<std::string> UpdateController::progressLines() const
{
    const std::optional<RunSummary> run = m_impl->run().runSoFar();
    return run ? ostrel::progressLines(*run) : std::vector<std::string>{};
}

bool UpdateController::runBusy() const
{
    return m_impl->run().runBusy();
}

bool UpdateController::runOrReportBusy() const
{
    return m_impl->run().runOrReportBusy();
}
std::int64_t UpdateController::settleWaitMs() const
{
    return m_impl->settleWaitMs();
}
int UpdateController::scaleCount() const
{
    return m_impl->m_holder.scaleCount();
}

std::string UpdateController::settingsError() const
{
    return m_impl->settingsError();
}

void UpdateController::setRunFinishedHandler(std::function<void(const RunSummary&)> handler)
{
    m_impl->run().setRunFinishedHandler(std::move(handler));
}

SettingsHolder& UpdateController::settingsHolder()
{
    return m_impl->m_holder;
}

void UpdateController::setScaleQueryReplyHandler(std::function<int(const SendBlock&)> handler)
{
    m_impl->run().setScaleQueryReplyHandler(std::move(handler));
}

} // namespace ostrel
