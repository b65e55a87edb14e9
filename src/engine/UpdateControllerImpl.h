// The update engine's inside, shared by the files that implement it: the triggers with what
// they load and find (UpdateTriggers.cpp) and the facade that forwards to them
// (UpdateController.cpp).
#pragma once

#include "engine/FileSettle.h"
#include "engine/FolderWatch.h"
#include "engine/UpdateController.h"
#include "engine/UpdateRun.h"
#include "format/ImportFormatLoader.h"
#include "settings/SettingsHolder.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ostrel {

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
    std::string onDirectDownload();
    void onCopyData(int code);
    void onReloadSettings();
    void onFolderActivity();
    void reloadRunSettings() { loadSettings(); }
    void setStoredDefinitions(const std::vector<FixedFieldDef>& definitions)
    {
        m_formatLoader.setStoredDefinitions(definitions);
    }

    std::string resend(const std::string& path, const std::string& scaleFilter);

    Dependencies m_deps;
    SettingsHolder m_holder;
    UpdateRun& run() { return m_run; }
    std::int64_t settleWaitMs() const { return m_settleWaitMs; }
    std::string settingsError();
    SettlePolicy m_settlePolicy = SettlePolicy::SendSettled; // the triggers' thread only
    bool m_fullSendRequested = false;                        // under the engine's lock
    FolderWatch m_watch;                                     // the triggers' thread only
    std::vector<std::string> m_stillBeingWritten;            // the triggers' thread only

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
    // Why these settings must not send, "" when they may; with the lock held.
    std::string refusalLocked() const;

    ImportFormatLoader m_formatLoader; // the triggers' thread only
    FileSettle m_settle;               // the triggers' thread only
    std::int64_t m_settleWaitMs = 0;   // the last trigger's, 0 when every file had settled
    RunSettings m_settings;
    ImportFormat m_format;
    std::string m_pattern;
    std::string m_stamp;
    std::vector<DataFileEntry> m_found;
    std::size_t m_matched = 0;   // files that matched, beyond the table's hundred too
    std::string m_settingsError; // the last load's or refused run's settings message
    UpdateRun m_run;
};

} // namespace ostrel
