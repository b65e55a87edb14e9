// Answers the UDP scale scan for every simulated scale: one 38-byte reply per scale, sent back
// to whoever asked. Bound to a loopback address, it also hears the loopback broadcast
// 127.255.255.255, as the program's scan sends it in tests and demonstrations.
#pragma once

#include <asio/io_context.hpp>
#include <asio/ip/udp.hpp>

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "protocol/ScanFrame.h"

namespace ostrel::sim {

class ScanResponder final
{
public:
    // The replies are asked for at each request, so they carry the scales' bound ports.
    ScanResponder(asio::io_context& io, std::function<std::vector<ScanReplyBytes>()> replies,
                  bool verbose);

    // Throws std::system_error when the port cannot be bound.
    void bind(const std::string& address, std::uint16_t port);
    void start();
    void stop();
    std::uint16_t boundPort() const { return m_boundPort; }
    // Whether the loopback broadcast is heard too.
    bool hearsLoopbackBroadcast() const { return m_broadcast != nullptr; }

private:
    struct Listener
    {
        explicit Listener(asio::io_context& io) : socket(io) {}
        asio::ip::udp::socket socket;
        std::array<std::uint8_t, 1024> buffer{};
        asio::ip::udp::endpoint sender;
    };

    void bindListener(Listener& listener, const asio::ip::udp::endpoint& endpoint);
    void receive(Listener& listener);
    void sendNext();

    asio::io_context& m_io;
    Listener m_unicast;                    // sends every reply, so they come from its address
    std::unique_ptr<Listener> m_broadcast; // receives only
    std::function<std::vector<ScanReplyBytes>()> m_replies;
    bool m_verbose;
    std::uint16_t m_boundPort = 0;
    std::deque<std::pair<asio::ip::udp::endpoint, ScanReplyBytes>> m_outgoing;
    bool m_sending = false;
};

} // namespace ostrel::sim
