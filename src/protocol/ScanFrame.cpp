#include "protocol/ScanFrame.h"

#include <algorithm>

namespace ostrel {

namespace {

void putBe16(ScanReplyBytes& out, std::size_t offset, std::uint16_t value)
{
    out[offset] = static_cast<std::uint8_t>(value >> 8);
    out[offset + 1] = static_cast<std::uint8_t>(value);
}

std::uint16_t getBe16(std::span<const std::uint8_t> in, std::size_t offset)
{
    return static_cast<std::uint16_t>((in[offset] << 8) | in[offset + 1]);
}

} // namespace

std::uint8_t scanChecksum(std::span<const std::uint8_t> bytesFromOffset1)
{
    std::uint8_t sum = 0;
    for (std::uint8_t b : bytesFromOffset1)
        sum ^= b;
    return sum;
}

std::array<std::uint8_t, 3> scanRequest()
{
    return {kScanMark, kScanTypeRequest, kScanTypeRequest};
}

bool isScanRequest(std::span<const std::uint8_t> datagram)
{
    return datagram.size() == 3 && datagram[0] == kScanMark && datagram[1] == kScanTypeRequest &&
           datagram[2] == scanChecksum(datagram.subspan(1, 1));
}

ScanReplyBytes encodeScanReply(const ScanReply& reply)
{
    ScanReplyBytes out{};
    out[0] = kScanMark;
    out[1] = kScanTypeReply;
    std::copy(reply.identifier.begin(), reply.identifier.end(), out.begin() + 4);
    std::copy(reply.address.begin(), reply.address.end(), out.begin() + 10);
    putBe16(out, 22, reply.port);
    putBe16(out, 24, reply.value24);
    putBe16(out, 30, reply.value30);
    putBe16(out, 32, reply.value32);
    out[36] = reply.flag;
    out[37] = scanChecksum(std::span(out).subspan(1, 36));
    return out;
}

std::optional<ScanReply> parseScanReply(std::span<const std::uint8_t> datagram)
{
    if (datagram.size() != kScanReplySize || datagram[0] != kScanMark ||
        datagram[1] != kScanTypeReply || datagram[37] != scanChecksum(datagram.subspan(1, 36)))
        return std::nullopt;
    ScanReply reply;
    std::copy_n(datagram.begin() + 4, 6, reply.identifier.begin());
    std::copy_n(datagram.begin() + 10, 4, reply.address.begin());
    reply.port = getBe16(datagram, 22);
    reply.value24 = getBe16(datagram, 24);
    reply.value30 = getBe16(datagram, 30);
    reply.value32 = getBe16(datagram, 32);
    reply.flag = datagram[36];
    return reply;
}

} // namespace ostrel
