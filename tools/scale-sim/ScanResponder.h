// Answers the UDP scale scan for every simulated scale: one 38-byte reply per scale, sent back
// to whoever asked.
#pragma once

#include <asio/io_context.hpp>
#include <asio/ip/udp.hpp>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
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

private:
    void receive();
    void sendNext();

    asio::ip::udp::socket m_socket;
    std::function<std::vector<ScanReplyBytes>()> m_replies;
    bool m_verbose;
    std::uint16_t m_boundPort = 0;
    std::array<std::uint8_t, 1024> m_buffer{};
    asio::ip::udp::endpoint m_sender;
    std::vector<ScanReplyBytes> m_outgoing;
    asio::ip::udp::endpoint m_destination;
};

} // namespace ostrel::sim
