#include "ScanResponder.h"

#include <cstdio>

namespace ostrel::sim {

namespace {

const asio::ip::address_v4 kLoopbackBroadcast = asio::ip::make_address_v4("127.255.255.255");

bool isLoopback(const asio::ip::address_v4& address)
{
    return (address.to_uint() >> 24) == 127;
}

} // namespace

ScanResponder::ScanResponder(asio::io_context& io,
                             std::function<std::vector<ScanReplyBytes>()> replies, bool verbose)
    : m_io(io), m_unicast(io), m_replies(std::move(replies)), m_verbose(verbose)
{
}

void ScanResponder::bindListener(Listener& listener, const asio::ip::udp::endpoint& endpoint)
{
    listener.socket.open(endpoint.protocol());
    // Several simulators (and the program itself) may share the scan port on one machine.
    listener.socket.set_option(asio::ip::udp::socket::reuse_address(true));
    listener.socket.bind(endpoint);
}

void ScanResponder::bind(const std::string& address, std::uint16_t port)
{
    const asio::ip::address_v4 local = asio::ip::make_address_v4(address);
    bindListener(m_unicast, {local, port});
    m_boundPort = m_unicast.socket.local_endpoint().port();
    // A socket bound to one address does not hear broadcasts; one bound to the loopback
    // broadcast hears exactly those on loopback and nothing of a real network.
    if (isLoopback(local) && local != kLoopbackBroadcast) {
        m_broadcast = std::make_unique<Listener>(m_io);
        bindListener(*m_broadcast, {kLoopbackBroadcast, m_boundPort});
    }
}

void ScanResponder::start()
{
    receive(m_unicast);
    if (m_broadcast) {
        receive(*m_broadcast);
    }
}

void ScanResponder::stop()
{
    asio::error_code ignored;
    m_unicast.socket.close(ignored);
    if (m_broadcast) {
        m_broadcast->socket.close(ignored);
    }
}

void ScanResponder::receive(Listener& listener)
{
    listener.socket.async_receive_from(
        asio::buffer(listener.buffer), listener.sender,
        [this, &listener](asio::error_code ec, std::size_t n) {
            if (ec == asio::error::operation_aborted || !listener.socket.is_open())
                return;
            // Anything but a scan request (our own replies among them) is ignored.
            if (!ec && isScanRequest(std::span(listener.buffer.data(), n))) {
                if (m_verbose)
                    std::fprintf(stderr, "scan request from %s:%u\n",
                                 listener.sender.address().to_string().c_str(),
                                 listener.sender.port());
                for (const ScanReplyBytes& reply : m_replies()) {
                    m_outgoing.emplace_back(listener.sender, reply);
                }
                if (!m_sending)
                    sendNext();
            }
            receive(listener);
        });
}

void ScanResponder::sendNext()
{
    if (m_outgoing.empty()) {
        m_sending = false;
        return;
    }
    m_sending = true;
    m_unicast.socket.async_send_to(
        asio::buffer(m_outgoing.front().second), m_outgoing.front().first,
        [this](asio::error_code ec, std::size_t) {
            if (ec == asio::error::operation_aborted || !m_unicast.socket.is_open())
                return;
            m_outgoing.pop_front();
            sendNext();
        });
}

} // namespace ostrel::sim
