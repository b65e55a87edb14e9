// Fuzzes the scan datagram parsers: any datagram is a request, a reply or ignored.
#include "protocol/ScanFrame.h"

#include <algorithm>
#include <cstdlib>

using namespace ostrel;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> datagram(data, size);
    if (isScanRequest(datagram))
        check(size == 3);
    if (const auto reply = parseScanReply(datagram)) {
        check(size == kScanReplySize);
        // Rebuilt from what was read, the reply keeps the identifier, address and port.
        const auto again = encodeScanReply(*reply);
        check(parseScanReply(again).has_value());
        check(std::equal(again.begin() + 4, again.begin() + 14, data + 4));
        check(again[22] == data[22] && again[23] == data[23]);
    }
    return 0;
}
