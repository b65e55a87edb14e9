#include "discovery/ScaleRecord.h"

#include <algorithm>

namespace ostrel {

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

} // namespace ostrel
