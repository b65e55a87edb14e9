// The program's update engine as one object: run settings and import format, the triggers of
// the update run (timer tick, Direct Download, copy-data 82 and 1094, reload), the run itself
// and the scale library's callbacks that drive it. The windows and the headless program call
// these operations and nothing else.
//
// Threads: the triggers, startUp and the destructor belong to one thread (the user
// interface's); the run's later steps come on the scale library's thread. ConnectProcessScale
// only calls the library and may be called from any thread (the scale query worker's). Only one
// controller may exist at a time (the library's callbacks carry no user data). Destroying it
// waits for callbacks still running in it; never destroy it from the run-finished handler.
#pragma once

#include "engine/RunServices.h"
#include "engine/RunSummary.h"
#include "format/PrsFile.h"
#include "settings/SettingsPaths.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ostrel {

class MessageSink;
class ScaleLibrary;
class SettingsHolder;
struct SendBlock;

class UpdateController final
{
public:
    struct Dependencies
    {
        SettingsPaths paths;
        ScaleLibrary& library;
        MessageSink& messages;
        ProgressSink& progress;
        UpdateTimer& timer;
        const Clock& clock;
    };

    explicit UpdateController(Dependencies dependencies);
    ~UpdateController();
    UpdateController(const UpdateController&) = delete;
    UpdateController& operator=(const UpdateController&) = delete;

    // Start-up after the settings holder exists: pattern, LoadRunSettings, LoadImportFormat,
    // timer, discovery, RegisterInterpreters, and a first run when a data file is new.
    void startUp();

    // The triggers, each in its own order of steps.
    void onTimerTick();
    // Direct Download: "" when a run started or a message said why none could; else why
    // nothing was sent, in words for the user (UTF-8), so the click never goes unanswered.
    std::string onDirectDownload();
    void onCopyData(int code); // 82 run, 1094 reload and run; others do nothing
    void onReloadSettings();
    // [CYCLE] "WATCH FOLDER": the descriptor to wait on (the same for the controller's life,
    // -1 without one), and what to call when it is readable: a data file that arrived starts
    // a run once it has settled, as a timer tick would.
    int folderWatchDescriptor() const;
    void onFolderActivity();
    // LoadRunSettings and LoadImportFormat alone: the PLU file setting window closed with OK,
    // so the next run uses the layout it saved.
    void reloadRunSettings();
    // The PLU file setting window's OK copied its fixed-type rows into the in-memory
    // definitions, which a load keeps while PLUPrs.prs is missing.
    void setStoredDefinitions(const std::vector<FixedFieldDef>& definitions);

    // The next run that starts gives every scale a full send, also with only changed records
    // on (ostrel --once --full, --send run --full).
    void requestFullSend();

    // The interpreters alone, for a scan or test without start-up (ostrel --scan, --test).
    void registerInterpreters();

    // ostrel --resend: loads the settings as Direct Download does, then sends the data file
    // at `path` (a backup or any other) again to every registered scale, or to those at
    // `scaleFilter` ("IP" or "IP:PORT", the address compared in its padded form), through a
    // normal run, journal and log; nothing is renamed. "" when the run started, else why not.
    std::string resend(const std::string& path, const std::string& scaleFilter);

    // What a trigger does with data files still being written. SendSettled: the settled ones
    // go now, the rest at a later tick (the desktop and headless program). WaitForAll: no
    // run while one is still being written, so they all go in one run (ostrel --once waits).
    // SendSettledNamingTheRest: the settled ones go, and the run's result names the others.
    enum class SettlePolicy
    {
        SendSettled,
        WaitForAll,
        SendSettledNamingTheRest
    };
    void setSettlePolicy(SettlePolicy policy);
    // The files the last trigger found still being written, and those that wait behind them.
    std::vector<std::string> filesStillBeingWritten() const;

    // The connection test's request (MSG_CONNECT_SCALE); returns Connect's result.
    int ConnectProcessScale(const std::string& ipText, std::uint16_t port, std::uint16_t model);

    // A trigger returns while the run's scales are still being opened; this waits until each
    // of them was opened (its first record handed over) or failed.
    void waitForOpening();

    // Stops a busy run after the records in flight (see UpdateRun::requestStop); false when
    // no run is busy.
    bool requestStop();

    // Set while a settings or About window is open: runs are refused.
    void setWindowOpen(bool open);
    bool windowOpen() const;
    bool runBusy() const;
    // The progress window's lines for the latest run (see progressLines), empty before the
    // first run.
    std::vector<std::string> progressLines() const;
    // Busy, or its summary is still on the way to the finished handler.
    bool runOrReportBusy() const;
    int scaleCount() const;
    // Set by a trigger that left data files still being written: the milliseconds until the
    // first may have settled (the timer then ticks that early); 0 when none was left.
    std::int64_t settleWaitMs() const;
    // The message of the last settings problem found by a load or that refused a run, ""
    // when there was none.
    std::string settingsError() const;

    // Called once per run, when it returned to idle (also for a run that found nothing to
    // send), after the engine's lock was released; may run on the scale library's thread.
    void setRunFinishedHandler(std::function<void(const RunSummary&)> handler);

    // The settings holder: decimal point text, scale count, run mode, the scale list.
    SettingsHolder& settingsHolder();

    // While the run mode says a scan or connection test awaits answers, replies go here (on
    // the library's thread, under the engine's lock: it must not call back into the engine).
    void setScaleQueryReplyHandler(std::function<int(const SendBlock&)> handler);

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace ostrel
