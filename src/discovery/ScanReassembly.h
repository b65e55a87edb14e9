// ScanReassembly: the scan listener's datagrams cut back into 38-byte replies. A reply may
// arrive split over datagrams, so the bytes wait here until their count is a multiple of 38.
#pragma once

#include "protocol/ScanFrame.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace ostrel {

class ScanReassembly final
{
public:
    static constexpr std::size_t kCapacity = 8192;

    // The replies completed by this datagram, in order; none while the bytes held are not a
    // multiple of 38. Bytes that would overflow the buffer drop everything held: a stream
    // that never lines up again is noise.
    std::vector<ScanReplyBytes> append(std::span<const std::uint8_t> datagram);
    std::size_t held() const { return m_fill; }

private:
    std::vector<std::uint8_t> m_buffer = std::vector<std::uint8_t>(kCapacity);
    std::size_t m_fill = 0;
};

// A piece is a reply of this kind when it begins with 'S' and type 4 and its checksum holds.
bool isValidScanReply(const ScanReplyBytes& piece);

} // namespace ostrel
