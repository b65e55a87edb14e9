// ScaleQuery: asking scales for their information. The plan says which requests a model name
// gets; ScaleQueryRequest is the request block with the IP and port memory it points to; the
// ScaleQueryWorker connects and sends queries one after the other on a thread of its own, with
// the pauses between requests, so that the caller's thread never waits for a scale.
#pragma once

#include "protocol/ScaleBlocks.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ostrel {

class ScaleLibrary;

struct ScaleQueryPlan
{
    std::uint16_t modelCode = 7100;
    std::vector<std::uint8_t> dataKinds; // one request each, in this order
};

// By the model name as given (compared exactly): QV7100, QV7600, QV7300 ask with kind 62,
// QV7100MN with kind 61 and model code 7110, the empty name with 61 and then 62, any other
// with kind 6.
ScaleQueryPlan planScaleQuery(const std::string& modelName);

// One information request. The block points into this object, which is neither copied nor
// moved; it lives until the library has taken its requests.
class ScaleQueryRequest final
{
public:
    ScaleQueryRequest(const std::string& ipText, std::uint16_t port, std::uint16_t modelCode);
    ScaleQueryRequest(const ScaleQueryRequest&) = delete;
    ScaleQueryRequest& operator=(const ScaleQueryRequest&) = delete;

    SendBlock block(std::uint8_t dataKind) const;
    const char* ipText() const { return m_ip.data(); }

private:
    std::array<char, 64> m_ip{};
    std::int32_t m_port = 0;
    std::uint16_t m_modelCode = 0;
};

struct ScaleQueryTarget
{
    std::string ipText;
    std::uint16_t port = 0;
    std::string modelName;
};

struct ScaleQueryPauses
{
    std::chrono::milliseconds afterFirst{100};  // between kinds 61 and 62 of an empty model
    std::chrono::milliseconds afterSecond{200}; // after kind 62 of an empty model
};

class ScaleQueryWorker final
{
public:
    // ConnectProcessScale: registers and connects the scale (ip, port, model code); called on
    // the worker's thread before the scale's requests.
    using ConnectScale = std::function<int(const std::string&, std::uint16_t, std::uint16_t)>;

    ScaleQueryWorker(ScaleLibrary& library, ConnectScale connect, ScaleQueryPauses pauses = {});
    // Stops after the query under way; the queries still waiting are not sent.
    ~ScaleQueryWorker();
    ScaleQueryWorker(const ScaleQueryWorker&) = delete;
    ScaleQueryWorker& operator=(const ScaleQueryWorker&) = delete;

    void enqueue(ScaleQueryTarget target);
    // Until every query given so far has been sent.
    void waitUntilIdle();
    bool busy();

private:
    void run(const std::stop_token& stop);
    void query(const ScaleQueryTarget& target, const std::stop_token& stop);
    bool pause(std::chrono::milliseconds time, const std::stop_token& stop);

    ScaleLibrary& m_library;
    ConnectScale m_connect;
    ScaleQueryPauses m_pauses;
    std::mutex m_mutex;
    std::condition_variable_any m_changed;
    std::deque<ScaleQueryTarget> m_queue;
    bool m_busy = false;
    std::jthread m_thread; // last: started once the members above exist
};

} // namespace ostrel
