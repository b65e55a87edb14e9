// CUDPServer: the scan listener. A UDP socket bound to the scan port on every local address,
// a worker thread that receives datagrams on it and hands each to its owner, and the scan
// request's broadcast from that same socket, so that replies come back to it. The object owns
// the thread: destroying it stops and joins it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace ostrel {

// Where the scan request goes: 255.255.255.255 unless $OSTREL_SCAN_BROADCAST names an IPv4
// address, optionally with ":PORT" in place of the destination port (tests point it at a
// loopback broadcast address). Nothing when the override is not such an address.
struct ScanDestination
{
    std::uint32_t address = 0; // host order
    std::optional<std::uint16_t> port;
};
std::optional<ScanDestination> parseScanDestination(const std::string& text);
std::optional<ScanDestination> scanDestinationFromEnvironment();

class CUDPServer final
{
public:
    static constexpr int kSent = 0;
    static constexpr int kBadPort = 1001;
    static constexpr int kBroadcastRefused = 1003;
    static constexpr int kSendFailed = 1004;

    static constexpr const char* kBindFailedMessage = "Error: CUDPServer/Listen bind() failed.";

    // Both run on the worker thread: a datagram (never empty) with its sender's IPv4 address
    // (host order), and a failed bind of the listen port with the system's error number.
    struct Owner
    {
        std::function<void(std::vector<std::uint8_t>, std::uint32_t)> datagram;
        std::function<void(int)> bindFailed;
    };

    explicit CUDPServer(std::uint16_t listenPort);
    virtual ~CUDPServer();
    CUDPServer(const CUDPServer&) = delete;
    CUDPServer& operator=(const CUDPServer&) = delete;

    void setOwner(Owner owner);
    // Starts the worker and returns once its first bind has succeeded or failed.
    void start();
    // The request's broadcast; see the k* results. The destination port must be 1 or more.
    int send(int destinationPort, std::span<const std::uint8_t> bytes);
    // The port bound, 0 while none is (a listen port of 0 binds a free one).
    std::uint16_t boundPort() const;

    // Failed receives wait this long before a new socket is tried; tests shorten it.
    void setRetryPause(std::chrono::milliseconds pause) { m_retryPause = pause; }

private:
    void listen();
    bool openAndBind(int& error);
    bool waitForStop(std::chrono::milliseconds time);

    Owner m_owner;
    std::uint16_t m_listenPort;
    std::chrono::milliseconds m_retryPause{1000};
    mutable std::mutex m_mutex; // the socket handle, the bound port and the flags below
    std::condition_variable m_changed;
    int m_socket = -1;
    std::uint16_t m_boundPort = 0;
    bool m_stop = false;
    bool m_firstBindDone = false;
    int m_wake[2] = {-1, -1}; // a pipe that wakes the blocked receive at the end
    std::vector<std::uint8_t> m_buffer = std::vector<std::uint8_t>(8192);
    std::thread m_worker;
};

} // namespace ostrel
