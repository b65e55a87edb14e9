// ScaleDiscovery: the scan and the connection test over the settings holder's scale list.
// It owns the scan listener (started at the first scan, kept until destruction), the
// reassembly of its datagrams and the worker that queries scales; it keeps the holder's
// connection table, filters the scale library's answers and brings them into the list.
//
// Threads: Scan, ConnectionTest, rebuildConnections and the posted tasks run on the thread
// that owns the scale list (the owner's). OnScaleReply runs on the library's thread; the
// listener and the query worker have threads of their own. Whatever touches the list is
// posted to the owner. The owner stops routing library replies here before destroying it.
#pragma once

#include "discovery/ScaleAnswer.h"
#include "discovery/ScaleQuery.h"
#include "discovery/ScanReassembly.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ostrel {

class CUDPServer;
class ConnectionTable;
class ScaleLibrary;
class SettingsHolder;

class ScaleDiscovery final
{
public:
    static constexpr std::uint16_t kDefaultScanPort = 20304;
    static constexpr int kScanDestinationPort = 65535;

    struct Dependencies
    {
        ScaleLibrary& library;
        SettingsHolder& holder;
        std::string tarvikIni;
        // ConnectProcessScale of the engine; called on the query worker's thread.
        ScaleQueryWorker::ConnectScale connectScale;
        // Runs a task on the owner's thread later; callable from any thread.
        std::function<void(std::function<void()>)> post;
        // On the owner's thread: a message for the user, and a change of the scale list.
        std::function<void(const std::string&)> showError;
        std::function<void()> listChanged;
        std::string connectedCaption = "Connected";
        ScaleQueryPauses pauses;
        // True while an update run is sending; unset, no run is ever busy.
        std::function<bool()> runBusy;
    };

    // While a run sends, its replies and sessions are its own: with the run mode at 1 its
    // replies would feed the list and an answer's Disconnect would close its session, so the
    // run would never end. A scan or test then only says so.
    static constexpr const char* kRunBusyMessage =
        "The scales are being updated. Try again when the update has finished.";
    static constexpr int kRefusedRunBusy = -1;

    explicit ScaleDiscovery(Dependencies deps);
    ~ScaleDiscovery();
    ScaleDiscovery(const ScaleDiscovery&) = delete;
    ScaleDiscovery& operator=(const ScaleDiscovery&) = delete;

    // "Scan": run mode 1, the list emptied, the listener started once (SCAN PORT of
    // Tarvik.ini), the connection table rebuilt, the request broadcast. The send's result,
    // or kRefusedRunBusy with nothing done.
    int Scan();
    // "Connection Test": run mode 1, the table rebuilt, every row queried in order. False,
    // with nothing done, while a run is busy.
    bool ConnectionTest();
    // The window's load: the table follows the list.
    void rebuildConnections();

    // Once the scan's answers have had `waitedSeconds`: the message that no scale answered,
    // naming where the request went; "" when one did or the listener's failure was shown.
    std::string scanFoundNothing(int waitedSeconds) const;
    // Once the test's answers have had their time: every tested row that is still blank
    // says "No answer" (a late answer still turns it into "Connected"). True when a row
    // changed.
    bool markUnanswered();

    // A datagram of the listener, and one 38-byte reply cut from the datagrams.
    void OnDatagram(std::span<const std::uint8_t> datagram);
    void OnScanReply(const ScanReplyBytes& reply);

    // The library's reply callback while the run mode is 1.
    int OnScaleReply(const SendBlock& block);
    int InsertRecvDataToINI(int connectionId, const char* ipText, const ScaleInformation& info);

    // Until the queries given so far have been sent.
    void waitForQueries();
    bool queriesBusy() { return m_queries.busy(); }
    const ConnectionTable& connections() const;
    // The listener's bound port, 0 before the first scan or while unbound.
    std::uint16_t listenerPort() const;

private:
    bool refusedForRun();

    Dependencies m_deps;
    ScanReassembly m_reassembly;
    std::atomic<bool> m_bindReported{false};
    int m_scanAnswers = 0;             // valid replies since the last Scan
    std::vector<std::string> m_tested; // addresses the last connection test asked

    ScaleQueryWorker m_queries;
    std::unique_ptr<CUDPServer> m_listener; // last: its thread posts into the members above
};

} // namespace ostrel
