// The simulator on a shop network must not pass for a scale: read from the kernel's own
// socket tables which addresses its sockets are bound to.
#include "SimChildProcess.h"
#include "SimOptions.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace ostrel::sim {
namespace {

struct BoundSocket
{
    std::string table;        // tcp, tcp6, udp, udp6
    std::string localAddress; // as the table has it: hex, in the kernel's byte order
};

std::set<std::string> socketInodesOf(pid_t pid)
{
    std::set<std::string> inodes;
    const std::string fdDir = "/proc/" + std::to_string(pid) + "/fd";
    DIR* dir = ::opendir(fdDir.c_str());
    if (dir == nullptr) {
        return inodes;
    }
    while (const dirent* entry = ::readdir(dir)) {
        char target[256] = {};
        const std::string link = fdDir + "/" + entry->d_name;
        const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
        const std::string text(target, length > 0 ? static_cast<std::size_t>(length) : 0);
        if (text.rfind("socket:[", 0) == 0) {
            inodes.insert(text.substr(8, text.size() - 9));
        }
    }
    ::closedir(dir);
    return inodes;
}

std::vector<BoundSocket> boundSocketsOf(pid_t pid)
{
    const std::set<std::string> inodes = socketInodesOf(pid);
    std::vector<BoundSocket> sockets;
    for (const std::string table : {"tcp", "tcp6", "udp", "udp6"}) {
        std::ifstream in("/proc/" + std::to_string(pid) + "/net/" + table);
        std::string line;
        std::getline(in, line); // the column names
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
            fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
                timeout >> inode;
            if (inodes.count(inode) != 0) {
                sockets.push_back({table, local.substr(0, local.find(':'))});
            }
        }
    }
    return sockets;
}

// /proc/net/tcp writes an IPv4 address as the hex of its 32-bit value in host order, so on
// this little-endian machine the first octet is the last two digits: 127.0.0.2 is 0200007F.
bool isLoopback(const BoundSocket& socket)
{
    return socket.table.back() != '6' && socket.localAddress.size() == 8 &&
           socket.localAddress.substr(6) == "7F";
}

TEST(SimBinding, EverySocketIsOnLoopbackWhenNoOtherAddressWasGiven)
{
    SimChildProcess sim({"--no-scan", "--scale", "127.0.0.2:0", "--scan-port", "0"});
    SimChildProcess scanning({"--scale", "127.0.0.3:0", "--scan-port", "0"});
    for (const SimChildProcess* process : {&sim, &scanning}) {
        const auto sockets = boundSocketsOf(process->pid());
        ASSERT_FALSE(sockets.empty());
        for (const BoundSocket& socket : sockets) {
            EXPECT_TRUE(isLoopback(socket)) << socket.table << " " << socket.localAddress;
        }
    }
    EXPECT_EQ(sim.scanPort(), 0) << "--no-scan wins over --scan-port";
    EXPECT_NE(scanning.scanPort(), 0);
}

TEST(SimBinding, AnswersTheScanOnlyWhenToldItsPort)
{
    SimChildProcess sim({"--scale", "127.0.0.2:0"});
    for (const BoundSocket& socket : boundSocketsOf(sim.pid())) {
        EXPECT_EQ(socket.table.rfind("udp", 0), std::string::npos) << socket.localAddress;
    }
    EXPECT_EQ(sim.scanPort(), 0);

    const auto parsed = parseArguments({"--scale", "127.0.0.2:1", "--scan-port", "7"});
    ASSERT_TRUE(parsed.config);
    EXPECT_TRUE(parsed.config->scanEnabled);
    EXPECT_EQ(parsed.config->scanBind, "127.0.0.1");
}

TEST(SimBinding, HelpSaysItIsATestToolAndFitsEightyColumns)
{
    std::istringstream help(helpText());
    EXPECT_NE(helpText().find("TEST TOOL"), std::string::npos);
    for (std::string line; std::getline(help, line);) {
        EXPECT_LE(line.size(), 80u) << line;
    }
    EXPECT_TRUE(parseArguments({"--version"}).config->version);
}

} // namespace
} // namespace ostrel::sim
