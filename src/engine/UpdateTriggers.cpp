// The update engine's triggers (timer tick, Direct Download, copy-data 82 and 1094, reload,
// resend) and what they load and find before a run starts.
#include "engine/LayoutCheck.h"
#include "engine/RunBlocks.h"
#include "engine/RunOutcome.h"
#include "engine/RunSettings.h"
#include "engine/UpdateControllerImpl.h"
#include "format/LayoutKeys.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "platform/Numbers.h"
#include "platform/TextEncoding.h"
#include "platform/Trace.h"
#include "settings/ScaleList.h"
#include "settings/SearchPattern.h"
#include "settings/SettingsProblems.h"

#include <algorithm>
#include <utility>

namespace ostrel {

namespace {

constexpr int kCopyDataRun = 82;
constexpr int kCopyDataReloadAndRun = 1094;

} // namespace

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
    m_matched = 0;
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
    if (loaded.fileFound) {
        // The configuration window's Save writes the file and the holder alike; a value
        // edited in the file by hand counts from the next load.
        m_holder.loadDecimalPoint(m_deps.paths.tarvikIni);
    }
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
        const std::vector<std::string> listProblems = scaleListProblems(m_deps.paths.tarvikIni);
        if (!listProblems.empty() && problem.empty()) {
            std::string text = "The scale list in " + m_deps.paths.tarvikIni + ":";
            for (const std::string& line : listProblems) {
                text += "\n- " + line;
            }
            showSettingsProblem(m_deps.messages, text);
        }
    }
    if (m_formatLoader.LoadImportFormat(format, runSettingsFile)) {
        UpdateRun::Lock lock(m_run);
        m_format = std::move(format);
        m_pattern = m_format.searchPattern;
    }
    m_watch.watch(readWatchFolder(m_deps.paths.tarvikIni) ? pattern() : std::string());
}

std::vector<DataFileEntry> UpdateController::Impl::discover(const std::string& pattern)
{
    std::size_t matched = 0;
    auto files = FindDataFiles(pattern, &matched);
    UpdateRun::Lock lock(m_run);
    m_found = files;
    m_matched = matched;
    return files;
}

std::string UpdateController::Impl::refusalLocked() const
{
    // Prices scaled by a wrong power of ten must never reach a scale, and files no line of
    // which can become a record must not be backed up as delivered.
    std::string refusal = decimalPointProblem(m_holder.decimalPointText());
    if (refusal.empty()) {
        refusal = encodingProblem(storedEncoding(m_deps.paths.tarvikIni));
    }
    if (refusal.empty()) {
        refusal = layoutProblem(m_settings.fileType, m_format, m_deps.paths.pluIdIni,
                                m_deps.paths.prsFile);
    }
    return refusal;
}

bool UpdateController::Impl::triggeredRun(const std::string& pattern, const char* trigger,
                                          bool rediscover)
{
    const int settleSeconds = readSettleSeconds(m_deps.paths.tarvikIni);
    const std::string encodingText = storedEncoding(m_deps.paths.tarvikIni);
    RunInputs inputs;
    inputs.delta = readDeltaSettings(m_deps.paths.tarvikIni);
    inputs.today = m_deps.clock.now();
    FileSettle::Split split;
    bool started = false;
    std::string refusal;
    {
        UpdateRun::Lock lock(m_run);
        if (rediscover) {
            m_found = FindDataFiles(pattern, &m_matched);
        }
        const std::size_t matched = std::max(m_matched, m_found.size());
        split = m_settle.split(m_found, settleSeconds);
        m_stillBeingWritten = split.unsettled;
        for (const DataFileEntry& file : split.heldBehind) {
            m_stillBeingWritten.push_back(file.path);
        }
        const bool waitForAll =
            m_settlePolicy == SettlePolicy::WaitForAll && !m_stillBeingWritten.empty();
        // HasNewDataFile first: it also routes the library's replies back to runs.
        const bool fileIsNew = HasNewDataFile(split.settled, m_settings.createDate, m_holder) == 1;
        if (!waitForAll &&
            (fileIsNew || m_run.catchUpPendingLocked(m_settings.scales, m_format.searchPattern))) {
            refusal = refusalLocked();
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
                inputs.fullSend = m_fullSendRequested;
                inputs.encoding =
                    parseEncodingSetting(encodingText).value_or(EncodingSetting::Auto);
                inputs.filesWaiting = matched > m_found.size() ? matched - m_found.size() : 0;
                if (m_settlePolicy == SettlePolicy::SendSettledNamingTheRest) {
                    inputs.stillBeingWritten = m_stillBeingWritten;
                }
                started = m_run.beginLocked(inputs);
                m_fullSendRequested = m_fullSendRequested && !started;
            }
        }
    }
    noteUnsettled(split);
    if (!started) {
        m_run.quickTickDone();
    }
    if (!refusal.empty()) {
        showSettingsProblem(m_deps.messages, refusal); // outside the lock: a box may be modal
        return false;
    }
    if (started) {
        m_run.proceed(inputs);
    }
    return started;
}

std::string UpdateController::Impl::resend(const std::string& path, const std::string& scaleFilter)
{
    loadSettings();
    makeStamp();
    const auto time = fileLastWriteLocal(path);
    if (!fileExists(path) || !time) {
        return "there is no data file " + path;
    }
    const auto colon = scaleFilter.find(':');
    const std::string wantedAddress = paddedIp(scaleFilter.substr(0, colon));
    const auto wantedPort =
        colon == std::string::npos ? std::nullopt : parsePort(scaleFilter.substr(colon + 1));
    if (colon != std::string::npos && !wantedPort) {
        return "--scale " + scaleFilter + ": " +
               portOutOfRangeText(atoi64Text(scaleFilter.substr(colon + 1)));
    }
    RunInputs inputs;
    bool started = false;
    {
        UpdateRun::Lock lock(m_run);
        std::string refusal = refusalLocked();
        if (!refusal.empty()) {
            m_settingsError = refusal;
            return refusal;
        }
        for (const ScaleEntry& scale : m_settings.scales) {
            if (scaleFilter.empty() || (paddedIp(scale.ip()) == wantedAddress &&
                                        (!wantedPort || scale.port == *wantedPort))) {
                inputs.scales.push_back(scale);
            }
        }
        if (inputs.scales.empty()) {
            return scaleFilter.empty() ? std::string(kNoScaleText)
                                       : "no registered scale is at " + scaleFilter;
        }
        m_holder.setRunMode(RunMode::Update);
        inputs.stamp = m_stamp;
        inputs.trigger = "resend";
        inputs.files = {DataFileEntry{path, *time, std::nullopt}};
        inputs.format = m_format;
        inputs.fileType = m_settings.fileType;
        inputs.runSettingsFile = m_settings.runSettingsFile;
        inputs.resend = true;
        inputs.encoding = parseEncodingSetting(storedEncoding(m_deps.paths.tarvikIni))
                              .value_or(EncodingSetting::Auto);
        inputs.delta = readDeltaSettings(m_deps.paths.tarvikIni);
        inputs.fullSend = true; // a reset scale holds nothing: every record goes
        inputs.today = m_deps.clock.now();
        started = m_run.beginLocked(inputs);
    }
    if (!started) {
        return "a run is already busy";
    }
    m_run.proceed(inputs);
    return {};
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

std::string UpdateController::Impl::onDirectDownload()
{
    m_run.stopTimer();
    loadSettings();
    makeStamp();
    setPattern(readSearchPattern(m_deps.paths.tarvikIni));
    const std::string current = pattern();
    // Taken before the trigger: a run it starts makes the engine busy.
    const bool windowOpen = m_run.windowOpen();
    const bool busy = m_run.runBusy();
    if (triggeredRun(current, "direct-download")) {
        return {};
    }
    if (m_settleWaitMs == 0) {
        // Waiting for a reload to restart it would leave the shop without updates.
        m_run.restartTimer();
    }
    if (!settingsError().empty() || m_holder.scaleCount() == 0) {
        return {}; // its message box said why
    }
    if (windowOpen) {
        return noRunText(NoRunReason::WindowOpen, {});
    }
    if (busy) {
        return noRunText(NoRunReason::Busy, {});
    }
    if (!m_stillBeingWritten.empty()) {
        return noRunText(NoRunReason::StillBeingWritten, m_stillBeingWritten.front());
    }
    return noRunText(current.empty() ? NoRunReason::NoPattern : NoRunReason::NothingNew, current);
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

void UpdateController::Impl::onFolderActivity()
{
    if (!m_watch.takeDataFileChange()) {
        return;
    }
    if (m_run.runBusy() || m_run.windowOpen()) {
        m_run.tickWhenFree(); // the Part's refusal, but the file is not left an hour
        return;
    }
    clearFound();
    makeStamp();
    triggeredRun(pattern(), "watch");
}

void UpdateController::Impl::onReloadSettings()
{
    loadSettings();
    m_run.restartTimer();
    m_run.setWindowOpen(false);
}

} // namespace ostrel
