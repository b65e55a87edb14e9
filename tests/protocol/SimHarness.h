// Test helpers: the simulator as a child process or in-process, a recorder for the library's
// callbacks, and PLU records to send.
#pragma once

#include "protocol/ScaleBlocks.h"
#include "protocol/TcpScaleLibrary.h"

#include "SimChildProcess.h"
#include "SimServer.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ostrel::test {

using Record = std::array<std::uint8_t, kPluRecordSize>;

Record makeRecord(int department, int plu, int itemCode, int price, const std::string& name);

// ostrel-scale-sim started with the given arguments; waits for its ready line.
using SimProcess = sim::SimChildProcess;

// The simulator's server on a thread of this process.
class InProcessSim final
{
public:
    explicit InProcessSim(const std::vector<std::string>& args);
    ~InProcessSim();
    InProcessSim(const InProcessSim&) = delete;
    InProcessSim& operator=(const InProcessSim&) = delete;

    std::uint16_t scalePort(std::size_t index) const { return m_server->scalePort(index); }
    std::uint16_t scanPort() const { return m_server->scanPort(); }

private:
    std::unique_ptr<sim::SimServer> m_server;
    std::thread m_thread;
};

struct Callback
{
    bool isEvent = false;
    std::string ipText;
    SendBlock block; // pointers cleared: they are not valid after the call
    std::array<std::uint8_t, kReplyDataSize> data{};

    std::uint32_t accepted() const;
    std::string text() const;
    std::uint16_t eventCode() const;
};

// Collects what the library's callbacks deliver; the callbacks are plain functions, so one
// recorder serves the whole test program.
class Recorder final
{
public:
    static Recorder& instance();
    static int onReply(SendBlock block);
    static int onEvent(SendBlock block);

    void reset();
    // Runs on the library thread inside the reply callback, after the reply was recorded.
    void setReplyHook(std::function<void(const Callback&)> hook);
    // Waits until count callbacks arrived for ipText ("" for any); false if that never happens.
    bool waitFor(std::size_t count, const std::string& ipText = "",
                 std::chrono::seconds limit = std::chrono::seconds(20));
    std::vector<Callback> calls(const std::string& ipText = "") const;

private:
    void record(SendBlock block, bool isEvent);

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Callback> m_calls;
    std::function<void(const Callback&)> m_hook;
};

TcpScaleLibraryOptions fastOptions();
// A library with the three interpreters registered, as the program does at start-up.
void registerInterpreters(ScaleLibrary& library);
ConnectionBlock connectionBlock(const char* ip, std::uint16_t port, std::uint16_t modelCode = 7100);
SendBlock recordBlock(const char* ip, Record& record, std::uint16_t action = kActionRecord);
// A TCP port on which nothing listens (bound, then closed).
std::uint16_t closedPort(const std::string& address);

} // namespace ostrel::test
