// ScaleRecord: one scale as the configuration window's holder keeps it, field by field as a
// scan reply fills it (36 bytes when packed). Scales loaded from the scale list carry only
// their address, port and server/client flag.
#pragma once

#include "settings/ScaleList.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace ostrel {

// The 38 bytes of one scan reply, as the scan's reassembly hands them over.
using ScanReplyView = std::span<const std::uint8_t, 38>;

struct ScaleRecord
{
    std::uint8_t frameType = 0;
    // Reply bytes 2 to 21: 2 bytes, the 6-byte identifier, the IPv4 address, 8 bytes.
    std::array<std::uint8_t, 20> head{};
    std::uint16_t port = 0;
    std::array<std::uint8_t, 4> middle{}; // reply bytes 26 to 29
    std::uint16_t value24 = 0;
    std::uint16_t value30 = 0;
    std::uint16_t value32 = 0;
    std::array<std::uint8_t, 3> tail{}; // reply bytes 34 to 36; the last is the flag

    static constexpr std::size_t kIdentifierOffset = 2;
    static constexpr std::size_t kAddressOffset = 8;

    std::array<std::uint8_t, 6> identifier() const;
    std::array<std::uint8_t, 4> address() const;
    void setAddress(const std::array<std::uint8_t, 4>& octets);
    bool client() const { return tail[2] == 1; }

    // What the window's load keeps of an IPLIST slot.
    static ScaleRecord fromIpList(const IpListValue& value);
    // Every field of a 38-byte scan reply, the 16-bit values in the machine's order.
    static ScaleRecord fromScanReply(ScanReplyView reply);
};

// A scan reply enters the table over the entry with its identifier, else the one with its
// address, else as a new entry at the end.
void recordScanReply(std::vector<ScaleRecord>& table, ScanReplyView reply);

} // namespace ostrel
