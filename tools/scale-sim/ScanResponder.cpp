#include "ScanResponder.h"

#include <cstdio>

namespace ostrel::sim {

ScanResponder::ScanResponder(asio::io_context& io,
                             std::function<std::vector<ScanReplyBytes>()> replies, bool verbose)
    : m_socket(io), m_replies(std::move(replies)), m_verbose(verbose)
{
}

void ScanResponder::bind(const std::string& address, std::uint16_t port)
{
    const asio::ip::udp::endpoint endpoint(asio::ip::make_address_v4(address), port);
    m_socket.open(endpoint.protocol());
    // Several simulators (and the program itself) may share the scan port on one machine.
    m_socket.set_option(asio::ip::udp::socket::reuse_address(true));
    m_socket.bind(endpoint);
    m_boundPort = m_socket.local_endpoint().port();
}

void ScanResponder::start()
{
    receive();
}

void ScanResponder::stop()
{
    asio::error_code ignored;
    m_socket.close(ignored);
}

void ScanResponder::receive()
{
    m_socket.async_receive_from(
        asio::buffer(m_buffer), m_sender, [this](asio::error_code ec, std::size_t n) {
            if (ec == asio::error::operation_aborted || !m_socket.is_open())
                return;
            // Anything but a scan request (our own replies among them) is ignored.
            if (!ec && isScanRequest(std::span(m_buffer.data(), n))) {
                if (m_verbose)
                    std::fprintf(stderr, "scan request from %s:%u\n",
                                 m_sender.address().to_string().c_str(), m_sender.port());
                // Receiving pauses until the replies are out; later requests wait in the socket.
                m_outgoing = m_replies();
                m_destination = m_sender;
                sendNext();
                return;
            }
            receive();
        });
}

void ScanResponder::sendNext()
{
    if (m_outgoing.empty()) {
        receive();
        return;
    }
    m_socket.async_send_to(asio::buffer(m_outgoing.front()), m_destination,
                           [this](asio::error_code ec, std::size_t) {
                               if (ec == asio::error::operation_aborted || !m_socket.is_open())
                                   return;
                               m_outgoing.erase(m_outgoing.begin());
                               sendNext();
                           });
}

} // namespace ostrel::sim
