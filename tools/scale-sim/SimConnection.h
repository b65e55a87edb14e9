// One connection to a simulated scale: reads frames, answers them one at a time in order.
#pragma once

#include "PluFields.h"

#include "protocol/WireFrame.h"
#include "protocol/WireMessages.h"

#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>

#include <array>
#include <deque>
#include <memory>
#include <optional>

namespace ostrel::sim {

class SimScale;

class SimConnection final : public std::enable_shared_from_this<SimConnection>
{
public:
    SimConnection(asio::ip::tcp::socket socket, SimScale& scale);
    void start();
    void close();

private:
    // An accepted record the scale keeps once it has answered.
    struct Kept
    {
        Payload recordPayload; // the Record message as it came
        PluFields fields;
    };
    struct Answer
    {
        MessageType type;
        std::uint32_t requestId;
        Payload payload;
        bool delayed;
        std::optional<Kept> kept = std::nullopt;
    };

    void read();
    void processNext();
    // Nothing when the frame gets no answer; closes the connection on a protocol error.
    std::optional<Answer> answer(WireFrame& frame);
    void keep(Answer& answer);
    void send(const Answer& answer);
    void sendErrorAndClose(WireError code, const std::string& text);
    void write();

    asio::ip::tcp::socket m_socket;
    asio::steady_timer m_delay;
    SimScale& m_scale;
    FrameDecoder m_decoder;
    std::deque<WireFrame> m_inbox;
    std::deque<std::vector<std::uint8_t>> m_writes;
    bool m_busy = false;
    bool m_writing = false;
    bool m_closed = false;
    bool m_closeAfterWrite = false;
    bool m_greeted = false;
    long long m_records = 0;
    std::array<std::uint8_t, 16384> m_buffer{};
};

} // namespace ostrel::sim
