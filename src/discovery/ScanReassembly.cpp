#include "discovery/ScanReassembly.h"

#include <algorithm>

namespace ostrel {

std::vector<ScanReplyBytes> ScanReassembly::append(std::span<const std::uint8_t> datagram)
{
    std::vector<ScanReplyBytes> pieces;
    if (datagram.size() > kCapacity - m_fill) {
        m_fill = 0;
        if (datagram.size() > kCapacity) {
            return pieces;
        }
    }
    std::copy(datagram.begin(), datagram.end(), m_buffer.begin() + static_cast<long>(m_fill));
    m_fill += datagram.size();
    if (m_fill % kScanReplySize != 0) {
        return pieces;
    }
    for (std::size_t at = 0; at < m_fill; at += kScanReplySize) {
        ScanReplyBytes piece{};
        std::copy_n(m_buffer.begin() + static_cast<long>(at), kScanReplySize, piece.begin());
        pieces.push_back(piece);
    }
    m_fill = 0;
    return pieces;
}

bool isValidScanReply(const ScanReplyBytes& piece)
{
    return piece[0] == kScanMark && piece[1] == kScanTypeReply &&
           piece[37] == scanChecksum(std::span(piece).subspan(1, 36));
}

} // namespace ostrel
