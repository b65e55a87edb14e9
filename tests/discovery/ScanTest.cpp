// The scan: the request on the wire, the listener's socket, reassembly of replies and their
// way into the ScaleRecord table, the connection table and the queries.
#include "DiscoveryTestSupport.h"
#include "discovery/CUDPServer.h"
#include "discovery/ScanReassembly.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace ostrel;
using namespace ostrel::test;

namespace {

// A UDP socket on every local address, so it also hears the loopback broadcast.
struct Receiver
{
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    std::uint16_t port = 0;

    explicit Receiver(std::uint16_t wanted = 0)
    {
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(wanted);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0) {
            socklen_t size = sizeof local;
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size);
            port = ntohs(local.sin_port);
        }
    }
    ~Receiver() { ::close(fd); }

    // The next datagram from the given source port; empty after a second without one.
    std::vector<std::uint8_t> receiveFrom(std::uint16_t sourcePort)
    {
        for (int tries = 0; tries < 50; ++tries) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 1000) <= 0) {
                return {};
            }
            std::vector<std::uint8_t> bytes(1024);
            sockaddr_in from{};
            socklen_t size = sizeof from;
            const auto n = ::recvfrom(fd, bytes.data(), bytes.size(), 0,
                                      reinterpret_cast<sockaddr*>(&from), &size);
            if (n >= 0 && ntohs(from.sin_port) == sourcePort) {
                bytes.resize(static_cast<std::size_t>(n));
                return bytes;
            }
        }
        return {};
    }

    void sendTo(std::uint16_t toPort, std::span<const std::uint8_t> bytes)
    {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(toPort);
        ::sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
};

std::vector<std::uint8_t> concat(std::initializer_list<std::span<const std::uint8_t>> parts)
{
    std::vector<std::uint8_t> out;
    for (auto part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

std::vector<QueryCall> connects(QueryLibrary& library)
{
    std::vector<QueryCall> out;
    for (const auto& call : library.calls()) {
        if (call.what == "connect") {
            out.push_back(call);
        }
    }
    return out;
}

} // namespace

TEST(ScanWire, RequestIs530202FromTheScanPortToPort65535)
{
    // Shares port 65535 with simulators that may run beside this test; their own requests
    // are told apart by their source port.
    Receiver scales(65535);
    if (scales.port != 65535) {
        GTEST_SKIP() << "UDP port 65535 is taken without SO_REUSEADDR";
    }
    ScopedEnv broadcast("OSTREL_SCAN_BROADCAST", "127.255.255.255");
    Receiver portFinder;
    const std::uint16_t scanPort = portFinder.port;
    ::close(portFinder.fd);
    portFinder.fd = -1;
    DiscoveryFixture f;
    writeFile(f.tarvik, "[COMMUNICATION]\nSCAN PORT=" + std::to_string(scanPort) + "\n");

    EXPECT_EQ(f.discovery.Scan(), CUDPServer::kSent);
    ASSERT_EQ(f.discovery.listenerPort(), scanPort);
    EXPECT_EQ(scales.receiveFrom(scanPort), (std::vector<std::uint8_t>{0x53, 0x02, 0x02}));
    // Before any reply, the scan says where it asked.
    const std::string nothing = f.discovery.scanFoundNothing(5);
    EXPECT_EQ(nothing.substr(0, nothing.find('\n')), "No scale answered the scan.");
    EXPECT_NE(nothing.find("went to 127.255.255.255, UDP port 65535, and answers were awaited "
                           "on UDP port " +
                           std::to_string(scanPort) + " for 5 seconds"),
              std::string::npos)
        << nothing;

    // A reply to the scan port comes back to the listener and, once posted, is handled.
    Receiver scale;
    const auto reply = scanReplyBytes({1, 2, 3, 4, 5, 6}, {127, 0, 0, 9}, 3001);
    scale.sendTo(scanPort, reply);
    for (int i = 0; i < 200 && f.posted.drain() == 0; ++i) {
        ::usleep(10000);
    }
    EXPECT_EQ(f.discovery.connections().port("127.0.0.9_-1"), 3001);
    EXPECT_EQ(f.discovery.scanFoundNothing(5), "");
}

TEST(ScanWire, SendResultsAndABadOverride)
{
    Receiver target;
    CUDPServer server(0);
    server.start();
    ASSERT_NE(server.boundPort(), 0);
    const auto request = scanRequest();
    EXPECT_EQ(server.send(0, request), CUDPServer::kBadPort);
    {
        ScopedEnv broadcast("OSTREL_SCAN_BROADCAST", "127.255.255.255");
        EXPECT_EQ(server.send(target.port, request), CUDPServer::kSent);
        EXPECT_EQ(target.receiveFrom(server.boundPort()).size(), 3u);
    }
    // A mistyped override must never turn into the real broadcast.
    ScopedEnv broadcast("OSTREL_SCAN_BROADCAST", "127.255.255");
    EXPECT_EQ(server.send(target.port, request), CUDPServer::kSendFailed);
    EXPECT_FALSE(parseScanDestination("127.0.0.1:0"));
    EXPECT_EQ(parseScanDestination("127.255.255.255:4000")->port, 4000);
}

TEST(ScanWire, ABindFailureIsShownOncePerScanAndRetried)
{
    Receiver holder; // holds the port without letting others share it below
    const int off = 0;
    ::setsockopt(holder.fd, SOL_SOCKET, SO_REUSEADDR, &off, sizeof off);
    ScopedEnv broadcast("OSTREL_SCAN_BROADCAST", "127.0.0.1");
    DiscoveryFixture f;
    writeFile(f.tarvik, "[COMMUNICATION]\nSCAN PORT=" + std::to_string(holder.port) + "\n");
    f.discovery.Scan();
    ::usleep(50000);
    f.posted.drain();
    ASSERT_EQ(f.errors.size(), 1u);
    EXPECT_EQ(f.errors[0], std::string(CUDPServer::kBindFailedMessage) + "\nUDP port " +
                               std::to_string(holder.port) +
                               " is in use by another program (another Ostrel, or a scale "
                               "tool), so the scales' answers cannot be heard. Close that "
                               "program, or give [COMMUNICATION] SCAN PORT in Tarvik.ini a "
                               "free port.");
    EXPECT_EQ(f.discovery.listenerPort(), 0);
    EXPECT_EQ(f.discovery.scanFoundNothing(5), "") << "the failure said it already";
}

TEST(ScanReplies, Reassembly)
{
    const auto a = scanReplyBytes({1, 1, 1, 1, 1, 1}, {127, 0, 0, 2}, 2000);
    const auto b = scanReplyBytes({2, 2, 2, 2, 2, 2}, {127, 0, 0, 3}, 2001);
    ScanReassembly reassembly;
    const auto both = concat({a, b});
    const auto pieces = reassembly.append(both);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[1], b);

    const std::span<const std::uint8_t> whole(a);
    EXPECT_TRUE(reassembly.append(whole.first(20)).empty());
    EXPECT_EQ(reassembly.held(), 20u);
    const auto joined = reassembly.append(whole.subspan(20));
    ASSERT_EQ(joined.size(), 1u);
    EXPECT_EQ(joined[0], a);
    EXPECT_EQ(reassembly.held(), 0u);

    // Bytes that would overflow the buffer drop what it held; lined-up replies follow.
    std::vector<std::uint8_t> noise(8000, 0x53);
    reassembly.append(noise);
    reassembly.append(noise);
    EXPECT_EQ(reassembly.held(), 8000u);
}

TEST(ScanReplies, OneDatagramWithTwoRepliesRegistersBothScales)
{
    DiscoveryFixture f;
    const auto a = scanReplyBytes({1, 1, 1, 1, 1, 1}, {127, 0, 0, 2}, 2000);
    const auto b = scanReplyBytes({2, 2, 2, 2, 2, 2}, {127, 0, 0, 3}, 2001);
    f.discovery.OnDatagram(concat({a, b}));
    f.discovery.waitForQueries();
    EXPECT_EQ(f.discovery.connections().port("127.0.0.2_-1"), 2000);
    EXPECT_EQ(f.discovery.connections().port("127.0.0.3_-1"), 2001);
    ASSERT_EQ(f.holder.scaleRecords().size(), 2u);
    const ScaleRecord& second = f.holder.scaleRecords()[1];
    EXPECT_EQ(second.port, 2001);
    EXPECT_EQ(second.value24, 7100);
    EXPECT_EQ(second.address(), (std::array<std::uint8_t, 4>{127, 0, 0, 3}));
    const auto queried = connects(f.library);
    ASSERT_EQ(queried.size(), 2u);
    EXPECT_EQ(queried[0].ip, "127.0.0.2");
    EXPECT_EQ(queried[1].port, 2001);
}

TEST(ScanReplies, BadChecksumOrTypeChangesNothing)
{
    DiscoveryFixture f;
    auto bad = scanReplyBytes({1, 1, 1, 1, 1, 1}, {127, 0, 0, 2}, 2000);
    bad[37] ^= 0x01;
    f.discovery.OnDatagram(bad);
    auto request = scanReplyBytes({1, 1, 1, 1, 1, 1}, {127, 0, 0, 2}, 2000);
    request[1] = 0x02;
    f.discovery.OnDatagram(request);
    f.discovery.waitForQueries();
    EXPECT_TRUE(f.holder.scaleRecords().empty());
    EXPECT_EQ(f.discovery.connections().size(), 0u);
    EXPECT_TRUE(f.library.calls().empty());
}

TEST(ScanReplies, TwoRepliesFromOneAddressLeaveOneEntryWithTheLaterPort)
{
    DiscoveryFixture f;
    f.discovery.OnDatagram(scanReplyBytes({1, 1, 1, 1, 1, 1}, {127, 0, 0, 2}, 2000));
    // Another identifier, the same address: the record of the address is overwritten.
    f.discovery.OnDatagram(scanReplyBytes({9, 9, 9, 9, 9, 9}, {127, 0, 0, 2}, 2002));
    f.discovery.waitForQueries();
    EXPECT_EQ(f.discovery.connections().size(), 1u);
    EXPECT_EQ(f.discovery.connections().port("127.0.0.2_-1"), 2002);
    ASSERT_EQ(f.holder.scaleRecords().size(), 1u);
    EXPECT_EQ(f.holder.scaleRecords()[0].port, 2002);
    EXPECT_EQ(connects(f.library).size(), 2u);
}

TEST(ScanReplies, RecordsAreFoundByIdentifierBeforeAddress)
{
    std::vector<ScaleRecord> table;
    recordScanReply(table, scanReplyBytes({1, 1, 1, 1, 1, 1}, {127, 0, 0, 2}, 2000));
    recordScanReply(table, scanReplyBytes({2, 2, 2, 2, 2, 2}, {127, 0, 0, 3}, 2001));
    // The scale with identifier 1 moved to a new address.
    recordScanReply(table, scanReplyBytes({1, 1, 1, 1, 1, 1}, {127, 0, 0, 4}, 2004));
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[0].address(), (std::array<std::uint8_t, 4>{127, 0, 0, 4}));
    EXPECT_EQ(table[0].port, 2004);
}

TEST(ScanReplies, ScanEmptiesTheListAndItsConnections)
{
    ScopedEnv broadcast("OSTREL_SCAN_BROADCAST", "127.0.0.1");
    DiscoveryFixture f;
    writeFile(f.tarvik, "[COMMUNICATION]\nSCAN PORT=0\n");
    f.holder.scaleTable().add({"127.0.0.5", "3000", "a", "QV7100", ""});
    f.discovery.rebuildConnections();
    ASSERT_EQ(f.discovery.connections().size(), 1u);
    f.discovery.Scan();
    EXPECT_EQ(f.holder.runMode(), RunMode::ScaleQuery);
    EXPECT_EQ(f.holder.scaleTable().size(), 0u);
    EXPECT_EQ(f.discovery.connections().size(), 0u);
}
