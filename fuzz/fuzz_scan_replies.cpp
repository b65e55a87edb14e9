// Fuzzes what the scan listener and the scale library hand to the scale list: datagrams cut
// at arbitrary points into the reassembly and the ScaleRecord table, and information reply
// data into the version text.
#include "discovery/ScaleAnswer.h"
#include "discovery/ScanReassembly.h"
#include "settings/ScaleRecord.h"

#include <algorithm>
#include <array>
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
    // The first byte chooses the datagram length; the rest is the stream.
    if (size == 0)
        return 0;
    const std::size_t chunk = 1 + data[0] * 7u;
    std::span<const std::uint8_t> rest(data + 1, size - 1);
    ScanReassembly reassembly;
    std::vector<ScaleRecord> table;
    while (!rest.empty()) {
        const auto datagram = rest.first(std::min(chunk, rest.size()));
        rest = rest.subspan(datagram.size());
        for (const auto& piece : reassembly.append(datagram)) {
            if (isValidScanReply(piece))
                recordScanReply(table, piece);
        }
        check(reassembly.held() <= ScanReassembly::kCapacity);
        check(reassembly.held() % kScanReplySize != 0 || reassembly.held() == 0);
    }
    // One entry per identifier at most.
    for (std::size_t i = 0; i < table.size(); ++i)
        for (std::size_t j = i + 1; j < table.size(); ++j)
            check(table[i].identifier() != table[j].identifier());

    std::array<std::uint8_t, kReplyDataSize> reply{};
    std::copy_n(data, std::min(size, reply.size()), reply.begin());
    const ScaleInformation info = readScaleInformation(reply);
    check(info.text.size() <= kInfoTextMax);
    if (const auto model = modelShown(info.modelCode))
        check(versionText(*model, info).size() < 64);
    return 0;
}
