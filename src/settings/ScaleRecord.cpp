#include "settings/ScaleRecord.h"

#include <algorithm>

namespace ostrel {

namespace {

std::uint16_t be16(ScanReplyView reply, std::size_t offset)
{
    return static_cast<std::uint16_t>((reply[offset] << 8) | reply[offset + 1]);
}

} // namespace

std::array<std::uint8_t, 6> ScaleRecord::identifier() const
{
    std::array<std::uint8_t, 6> id{};
    std::copy_n(head.begin() + kIdentifierOffset, id.size(), id.begin());
    return id;
}

std::array<std::uint8_t, 4> ScaleRecord::address() const
{
    std::array<std::uint8_t, 4> octets{};
    std::copy_n(head.begin() + kAddressOffset, octets.size(), octets.begin());
    return octets;
}

void ScaleRecord::setAddress(const std::array<std::uint8_t, 4>& octets)
{
    std::copy(octets.begin(), octets.end(), head.begin() + kAddressOffset);
}

ScaleRecord ScaleRecord::fromIpList(const IpListValue& value)
{
    ScaleRecord record;
    record.setAddress(value.octets);
    record.port = value.port;
    record.tail[2] = value.client ? 1 : 0;
    return record;
}

ScaleRecord ScaleRecord::fromScanReply(ScanReplyView reply)
{
    ScaleRecord record;
    record.frameType = reply[1];
    std::copy_n(reply.begin() + 2, record.head.size(), record.head.begin());
    record.port = be16(reply, 22);
    std::copy_n(reply.begin() + 26, record.middle.size(), record.middle.begin());
    record.value24 = be16(reply, 24);
    record.value30 = be16(reply, 30);
    record.value32 = be16(reply, 32);
    std::copy_n(reply.begin() + 34, record.tail.size(), record.tail.begin());
    return record;
}

void recordScanReply(std::vector<ScaleRecord>& table, ScanReplyView reply)
{
    const ScaleRecord record = ScaleRecord::fromScanReply(reply);
    auto it = std::find_if(table.begin(), table.end(), [&](const ScaleRecord& r) {
        return r.identifier() == record.identifier();
    });
    if (it == table.end()) {
        it = std::find_if(table.begin(), table.end(),
                          [&](const ScaleRecord& r) { return r.address() == record.address(); });
    }
    if (it == table.end()) {
        table.push_back(record);
    } else {
        *it = record;
    }
}

} // namespace ostrel
