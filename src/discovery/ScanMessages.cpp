#include "discovery/ScanMessages.h"

#include "discovery/CUDPServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>

namespace ostrel {
namespace {

std::string dotted(std::uint32_t hostOrder)
{
    in_addr address{};
    address.s_addr = htonl(hostOrder);
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

} // namespace

std::string bindFailedMessage(std::uint16_t port, int error)
{
    const std::string udp = "UDP port " + std::to_string(port);
    std::string cause;
    if (error == EADDRINUSE) {
        cause = udp + " is in use by another program (another Ostrel, or a scale tool), so the "
                      "scales' answers cannot be heard. Close that program, or give "
                      "[COMMUNICATION] SCAN PORT in Tarvik.ini a free port.";
    } else if (error == EACCES) {
        cause = udp + " needs administrator rights (ports below 1024). Give [COMMUNICATION] "
                      "SCAN PORT in Tarvik.ini a port from 1024 to 65535.";
    } else {
        cause = udp + " cannot be used: " + std::strerror(error) + ".";
    }
    return std::string(CUDPServer::kBindFailedMessage) + "\n" + cause;
}

std::string scanFoundNothingMessage(const ScanDestination& destination,
                                    std::uint16_t destinationPort, std::uint16_t listenPort,
                                    int waitedSeconds)
{
    return "No scale answered the scan.\nThe request went to " + dotted(destination.address) +
           ", UDP port " + std::to_string(destination.port.value_or(destinationPort)) +
           ", and answers were awaited on UDP port " + std::to_string(listenPort) + " for " +
           std::to_string(waitedSeconds) +
           " seconds. Check that the scales are switched on and on this computer's network, and "
           "that no firewall blocks UDP port " +
           std::to_string(listenPort) + ". A scale on another network can be added with Add.";
}

} // namespace ostrel
