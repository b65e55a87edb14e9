// The update run as the engine drives it: the engine's lock, the run's entry conditions, the
// opening of every scale, the library's callbacks that carry the rest of the transfer, and the
// return to idle with backup, completion and timer restart. The triggers hand it a snapshot of
// what they loaded and found.
#pragma once

#include "engine/ActiveRun.h"
#include "engine/CallbackRouter.h"
#include "engine/DeltaSend.h"
#include "engine/RunSummary.h"
#include "engine/ScaleTransfer.h"
#include "format/ImportFormat.h"
#include "settings/SettingsPaths.h"
#include "settings/UpdatePeriod.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace ostrel {

// The tick that takes files as soon as the engine is free: those beyond one run's hundred, or
// one that arrived in a watched folder while a run was busy.
inline constexpr std::uint32_t kQuickTickMs = 10;

// Beside the log, so a shop's whole history is in one folder.
inline constexpr const char* kJournalFileName = "delivery.db";

class DeliveryJournal;
class ProgressSink;
class ScaleLibrary;
class ScaleOpening;
class SettingsHolder;
class UpdateTimer;

// What a run starts from, copied so that later triggers cannot change it.
struct RunInputs
{
    std::string stamp;
    std::vector<DataFileEntry> files;
    std::vector<ScaleEntry> scales;
    ImportFormat format;
    int fileType = 1;
    std::string runSettingsFile;
    std::string trigger = "start-up"; // for the run's result
    // ostrel --resend: every scale of `scales` gets every line of `files` again, whatever the
    // journal says; no catch-up, and nothing is renamed.
    bool resend = false;
    std::size_t filesWaiting = 0;                     // found beyond the files one run takes
    DeltaSettings delta;                              // sending only what changed
    bool fullSend = false;                            // the user asked for a full send
    LocalTime today;                                  // for the days since a scale's full send
    std::vector<std::string> stillBeingWritten;       // left unsent: a writer still holds them
    EncodingSetting encoding = EncodingSetting::Auto; // [SENDFILE] "ENCODING"
};

class UpdateRun final : public CallbackTarget
{
public:
    struct Services
    {
        const SettingsPaths& paths;
        ScaleLibrary& library;
        ProgressSink& progress;
        UpdateTimer& timer;
        SettingsHolder& holder;
    };

    explicit UpdateRun(Services services);
    ~UpdateRun();
    UpdateRun(const UpdateRun&) = delete;
    UpdateRun& operator=(const UpdateRun&) = delete;

    // The engine's lock. A run that ended while it was held hands its summary to the handler
    // once it is released, so the handler may call back into the engine.
    class Lock final
    {
    public:
        explicit Lock(UpdateRun& run) : m_run(run), m_lock(run.m_mutex) {}
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        UpdateRun& m_run;
        std::unique_lock<std::mutex> m_lock;
    };

    // Refused (0, `started` false) while a window is open or a run is busy. Otherwise reads the
    // files on the caller's thread, starts opening every scale on workers of its own and
    // returns the line count of the last file without waiting for a scale (0 when nothing is
    // sent; the run is then idle again).
    int RunUpdate(const RunInputs& inputs, bool& started);
    // The same in two steps, for a trigger that decides under the lock whether to run: the
    // entry conditions with the lock held (true: the run is busy with these inputs), then the
    // rest without it.
    bool beginLocked(const RunInputs& inputs);
    int proceed(const RunInputs& inputs);
    // With the lock held: whether one of these scales has lines of an earlier file to get, or
    // a lost journal is still to be told of (a run with nothing to send tells it).
    // `searchPattern` names the backups such a notice lists.
    bool catchUpPendingLocked(const std::vector<ScaleEntry>& scales,
                              const std::string& searchPattern);

    // Blocks until every scale whose opening has started was opened or failed.
    void waitForOpening();

    // Stops a busy run after the records in flight: no further line is sent, every scale
    // that has not finished fails, and no data file is backed up. False when no run is busy.
    bool requestStop();

    // Both take the lock themselves.
    void setPeriod(const UpdatePeriod& period);
    void restartTimer();
    // While a data file is settling the timer ticks this early (0: the period again); set
    // before the restart so that a run's end keeps it.
    void setEarlyTick(std::uint32_t milliseconds);
    void stopTimer();
    // A trigger that started no run: a quick tick armed for waiting files gives way to the
    // period again, so a refused run does not make the timer spin.
    void quickTickDone();
    // A new data file was seen while a run was busy or a window open: the timer ticks at once
    // when the run ends or the window closes, not a whole period later.
    void tickWhenFree();
    void setWindowOpen(bool open);
    bool windowOpen() const;
    bool runBusy() const;
    // The latest run as it stands, also after its end; nothing before the first run.
    std::optional<RunSummary> runSoFar() const;
    // Also while the end of a run is still being handed to the finished handler.
    bool runOrReportBusy() const;
    void setRunFinishedHandler(std::function<void(const RunSummary&)> handler);
    void setScaleQueryReplyHandler(std::function<int(const SendBlock&)> handler);

    int replyArrived(const SendBlock& block) override;
    int eventArrived(const SendBlock& block) override;

private:
    void openScale(ActiveRun& run, RunScale& scale);
    // The rest with the lock held.
    void FinishRunIfDone();
    void endRun(bool progressShown);
    void backUpFiles(RunSummary& summary);
    // A journal write failed: the scales due lines get the reason and a FAILED log line.
    void failForJournal();
    void restartTimerLocked();
    // Opened at first need, in the log folder (a damaged one set aside and made afresh);
    // nullptr while it cannot be.
    DeliveryJournal* journalLocked(const std::string& searchPattern);

    const SettingsPaths& m_paths;
    ScaleLibrary& m_library;
    ProgressSink& m_progress;
    UpdateTimer& m_timer;
    SettingsHolder& m_holder;
    const SendLogPaths m_logPaths;

    mutable std::mutex m_mutex;
    UpdatePeriod m_period;
    std::uint32_t m_earlyTickMs = 0;
    bool m_windowOpen = false;
    bool m_busy = false;
    bool m_closing = false; // being destroyed: an opening that ends now ends no run
    std::unique_ptr<DeliveryJournal> m_journal;
    std::string m_journalError;
    std::string m_journalNotice;      // told by the next run
    bool m_batchTickArmed = false;    // the timer ticks at once for the files still waiting
    bool m_tickWhenFree = false;      // a data file arrived while a run or a window was open
    std::string m_resultError;        // traced once until it changes
    std::unique_ptr<ActiveRun> m_run; // kept after its end: the library may still hold its texts
    std::optional<RunSummary> m_pendingSummary;
    std::atomic<bool> m_handingOver{false};
    std::function<void(const RunSummary&)> m_onFinished;
    std::function<int(const SendBlock&)> m_onScaleQueryReply;
    ScaleTransfer m_transfer;

    // Removed in the destructor once no scale is opening: no callback reaches a half-destroyed
    // run.
    std::optional<CallbackRouter::Registration> m_registration;
    // Openings whose workers may still run; each is joined before the run it opens goes.
    std::vector<std::unique_ptr<ScaleOpening>> m_openings;
};

} // namespace ostrel
