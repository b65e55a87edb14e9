#include "discovery/CUDPServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ostrel {

namespace {

constexpr std::size_t kReceiveLimit = 1024;

} // namespace

std::optional<ScanDestination> parseScanDestination(const std::string& text)
{
    ScanDestination destination;
    std::string address = text;
    if (const auto colon = text.find(':'); colon != std::string::npos) {
        address = text.substr(0, colon);
        const std::string port = text.substr(colon + 1);
        if (port.empty() || port.size() > 5 ||
            port.find_first_not_of("0123456789") != std::string::npos) {
            return std::nullopt;
        }
        const int value = std::atoi(port.c_str());
        if (value < 1 || value > 65535) {
            return std::nullopt;
        }
        destination.port = static_cast<std::uint16_t>(value);
    }
    in_addr parsed{};
    if (inet_pton(AF_INET, address.c_str(), &parsed) != 1) {
        return std::nullopt;
    }
    destination.address = ntohl(parsed.s_addr);
    return destination;
}

std::optional<ScanDestination> scanDestinationFromEnvironment()
{
    const char* text = std::getenv("OSTREL_SCAN_BROADCAST");
    if (text == nullptr || *text == '\0') {
        return ScanDestination{INADDR_BROADCAST, std::nullopt};
    }
    return parseScanDestination(text);
}

CUDPServer::CUDPServer(std::uint16_t listenPort) : m_listenPort(listenPort)
{
    if (pipe2(m_wake, O_CLOEXEC) != 0) {
        m_wake[0] = m_wake[1] = -1;
    }
}

CUDPServer::~CUDPServer()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    if (m_wake[1] >= 0) {
        const char byte = 0;
        [[maybe_unused]] const auto n = ::write(m_wake[1], &byte, 1);
    }
    if (m_worker.joinable()) {
        m_worker.join();
    }
    if (m_socket >= 0) {
        ::close(m_socket);
    }
    for (int fd : m_wake) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void CUDPServer::setOwner(Owner owner)
{
    m_owner = std::move(owner);
}

void CUDPServer::start()
{
    if (m_worker.joinable()) {
        return;
    }
    m_worker = std::thread([this] { listen(); });
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_firstBindDone; });
}

std::uint16_t CUDPServer::boundPort() const
{
    std::lock_guard lock(m_mutex);
    return m_boundPort;
}

int CUDPServer::send(int destinationPort, std::span<const std::uint8_t> bytes)
{
    if (destinationPort < 1) {
        return kBadPort;
    }
    const std::optional<ScanDestination> destination = scanDestinationFromEnvironment();
    if (!destination) {
        return kSendFailed; // a mistyped override never falls back to the real broadcast
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(destination->address);
    to.sin_port = htons(destination->port.value_or(static_cast<std::uint16_t>(destinationPort)));
    std::lock_guard lock(m_mutex);
    const int on = 1;
    const bool broadcastOn =
        m_socket >= 0 && ::setsockopt(m_socket, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0;
    const auto sent = ::sendto(m_socket, bytes.data(), bytes.size(), 0,
                               reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (sent < 0) {
        return kSendFailed;
    }
    return broadcastOn ? kSent : kBroadcastRefused;
}

bool CUDPServer::openAndBind(int& error)
{
    std::lock_guard lock(m_mutex);
    if (m_socket >= 0) {
        ::close(m_socket);
    }
    m_boundPort = 0;
    m_socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(m_listenPort);
    bool bound = m_socket >= 0 &&
                 ::bind(m_socket, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
    error = bound ? 0 : errno;
    if (bound) {
        socklen_t size = sizeof local;
        ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&local), &size);
        m_boundPort = ntohs(local.sin_port);
    }
    return bound;
}

bool CUDPServer::waitForStop(std::chrono::milliseconds time)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, time, [this] { return m_stop; });
}

void CUDPServer::listen()
{
    for (;;) {
        int error = 0;
        const bool bound = openAndBind(error);
        bool stopping = false;
        {
            std::lock_guard lock(m_mutex);
            m_firstBindDone = true;
            stopping = m_stop;
        }
        m_changed.notify_all();
        if (stopping) {
            return;
        }
        if (!bound && m_owner.bindFailed) {
            m_owner.bindFailed(error);
        }
        // Receive until it fails; an unbound socket fails at once.
        while (bound) {
            pollfd fds[2] = {{m_socket, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                break;
            }
            if (fds[1].revents != 0) {
                return;
            }
            sockaddr_in from{};
            socklen_t size = sizeof from;
            const auto n = ::recvfrom(m_socket, m_buffer.data(), kReceiveLimit, 0,
                                      reinterpret_cast<sockaddr*>(&from), &size);
            if (n < 0) {
                break;
            }
            if (n > 0 && m_owner.datagram) {
                m_owner.datagram(std::vector<std::uint8_t>(m_buffer.begin(), m_buffer.begin() + n),
                                 ntohl(from.sin_addr.s_addr));
            }
        }
        if (waitForStop(m_retryPause)) {
            return;
        }
    }
}

} // namespace ostrel
