// ScaleQueryCommand: the scan and the connection test without windows ("ostrel --scan" and
// "--test"). The same ScaleDiscovery runs on the calling thread, which carries out the tasks
// that the window's event loop would, until the answers can be in; then the rows are there to
// print, and a scan's rows can be saved as the window's Save does.
#pragma once

#include "discovery/ScaleDiscovery.h"
#include "settings/SettingsPaths.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace ostrel {

struct ScaleQueryTimes
{
    // A scan listens this long for replies to its broadcast, as the window's button rests.
    std::chrono::milliseconds scanReplies{5000};
    // After the last query went out, answers may still come this long.
    std::chrono::milliseconds answers{3000};
};

class ScaleQueryCommand final
{
public:
    struct Dependencies
    {
        SettingsPaths paths;
        ScaleLibrary& library;
        SettingsHolder& holder;
        ScaleQueryWorker::ConnectScale connectScale;
        ScaleQueryTimes times;
        ScaleQueryPauses pauses;
    };

    explicit ScaleQueryCommand(Dependencies deps);
    ~ScaleQueryCommand();
    ScaleQueryCommand(const ScaleQueryCommand&) = delete;
    ScaleQueryCommand& operator=(const ScaleQueryCommand&) = delete;

    // The library's reply callback while the run mode is 1 (any thread).
    int OnScaleReply(const SendBlock& block);

    // Both return when the answers can be in; the holder's list then shows them. A scan
    // returns the broadcast's result, the test the number of rows asked.
    int scan();
    int test();
    // The window's Save of the list as it stands: false, with the reason, when it failed.
    bool save(std::string& error);
    // Messages of the listener (a failed bind), in order.
    const std::vector<std::string>& errors() const { return m_errors; }

private:
    void post(std::function<void()> task);
    // Runs posted tasks until `done` holds or the time is up.
    void runTasksUntil(std::chrono::steady_clock::time_point end,
                       const std::function<bool()>& done);

    Dependencies m_deps;
    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<std::function<void()>> m_tasks;
    std::vector<std::string> m_errors;
    ScaleDiscovery m_discovery; // last: its threads post into the members above
};

} // namespace ostrel
