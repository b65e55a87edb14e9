// One open link to a scale: connect and greet, queue requests, match replies in order, and
// raise the connection event when the scale drops, goes quiet or sends garbage.
#pragma once

#include "protocol/ScaleBlocks.h"
#include "protocol/WireFrame.h"
#include "protocol/WireMessages.h"

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>

#include <array>
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace ostrel {

struct SessionConfig
{
    std::string ipText; // as the caller registered it; handed back in every callback
    asio::ip::tcp::endpoint endpoint;
    ReplyCallback onReply = nullptr;
    EventCallback onEvent = nullptr;
    SendBlock eventBlock; // fields of the connection event until a request was sent
    std::chrono::milliseconds connectTimeout{2000};
    std::chrono::milliseconds replyTimeout{5000};
    int maxPending = 64;
};

struct SessionRequest
{
    MessageType type = MessageType::Record;
    std::vector<std::uint8_t> frame; // encoded; send() writes the request id into it
    SendBlock block;                 // handed back with the reply
};

// Everything but isOpen() and tryReserve() runs on the library thread.
class ScaleSession final : public std::enable_shared_from_this<ScaleSession>
{
public:
    ScaleSession(asio::io_context& io, SessionConfig config);

    void open(std::function<void(bool)> done);
    // The caller reserved a slot with tryReserve() first. The frame is request.frame followed
    // by tail, which need live only for the call.
    void send(SessionRequest request, std::span<const std::uint8_t> tail = {});
    // Ends the session without an event (the caller asked for it).
    void close();

    bool isOpen() const { return m_open.load(); }
    bool tryReserve();
    // Sends posted to the library thread that have not run yet: while there are any, a send
    // from the library thread itself must queue behind them to keep the caller's order.
    void postedSend() { m_posted.fetch_add(1); }
    bool hasPostedSends() const { return m_posted.load() > 0; }
    void sendPosted(SessionRequest request);
    // Marks the session closed at once so that later sends are refused before close() runs.
    void markClosing() { m_open = false; }

private:
    enum class State
    {
        Idle,
        Connecting,
        Greeting,
        Open,
        Closed
    };

    void startRead();
    void handleFrame(const WireFrame& frame);
    void handleReply(const WireFrame& frame);
    // Writes at once what the socket takes without waiting and queues the rest.
    void write(std::vector<std::uint8_t> head, std::span<const std::uint8_t> tail);
    void queueWrite(std::vector<std::uint8_t> bytes);
    void startWrite();
    void armTimer();
    void onTimer(asio::error_code ec);
    void fail(const std::string& why);
    void finishOpen(bool ok);
    void shutdown();
    void deliver(ReplyCallback callback, SendBlock block,
                 const std::array<std::uint8_t, kReplyDataSize>& data);

    asio::io_context& m_io;
    asio::ip::tcp::socket m_socket;
    asio::steady_timer m_timer;
    std::chrono::steady_clock::time_point m_deadline;
    bool m_timerRunning = false;
    SessionConfig m_config;
    State m_state = State::Idle;
    std::atomic<bool> m_open{false};
    std::atomic<int> m_reserved{0};
    std::atomic<int> m_posted{0};
    std::function<void(bool)> m_openDone;
    std::uint32_t m_nextId = 1;
    struct Pending
    {
        std::uint32_t id = 0;
        MessageType type = MessageType::Record;
        SendBlock block;
    };
    std::deque<Pending> m_pending;
    std::deque<std::vector<std::uint8_t>> m_writes;
    bool m_writing = false;
    FrameDecoder m_decoder;
    std::array<std::uint8_t, 16384> m_readBuffer{};
};

} // namespace ostrel
