// The UDP scan datagrams: the 3-byte request and the 38-byte reply, with their checksum.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace ostrel {

inline constexpr std::uint8_t kScanMark = 0x53;
inline constexpr std::uint8_t kScanTypeRequest = 2;
inline constexpr std::uint8_t kScanTypeReply = 4;
inline constexpr std::size_t kScanReplySize = 38;

using ScanReplyBytes = std::array<std::uint8_t, kScanReplySize>;

struct ScanReply
{
    std::array<std::uint8_t, 6> identifier{};
    std::array<std::uint8_t, 4> address{}; // first octet first
    std::uint16_t port = 0;
    std::uint16_t value24 = 0;
    std::uint16_t value30 = 0;
    std::uint16_t value32 = 0;
    std::uint8_t flag = 0; // byte 36: 0 server, 1 client
};

// Exclusive-or of every byte from offset 1 up to the last byte of the range.
std::uint8_t scanChecksum(std::span<const std::uint8_t> bytesFromOffset1);

std::array<std::uint8_t, 3> scanRequest();
bool isScanRequest(std::span<const std::uint8_t> datagram);

ScanReplyBytes encodeScanReply(const ScanReply& reply);
// Nothing unless the datagram is exactly one reply with mark, type and checksum right.
std::optional<ScanReply> parseScanReply(std::span<const std::uint8_t> datagram);

} // namespace ostrel
