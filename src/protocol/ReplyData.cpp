#include "protocol/ReplyData.h"

#include <algorithm>

namespace ostrel {

namespace {

// Callers read these values little-endian and unaligned.
void putLe(ReplyData& data, std::size_t offset, std::uint32_t value, std::size_t width)
{
    for (std::size_t i = 0; i < width; ++i)
        data[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void putText(ReplyData& data, std::size_t offset, const std::string& text, std::size_t max)
{
    const std::size_t n = std::min({text.size(), max, text.find('\0')});
    std::copy_n(text.begin(), n, data.begin() + static_cast<std::ptrdiff_t>(offset));
}

} // namespace

ReplyData recordReplyData(const RecordReplyMessage& reply)
{
    ReplyData data{};
    putLe(data, kReplyAcceptedOffset, reply.accepted ? 1u : 0u, 4);
    putText(data, kReplyTextOffset, reply.errorText, kReplyTextMax);
    return data;
}

ReplyData infoReplyData(const InfoReplyMessage& reply)
{
    ReplyData data{};
    putLe(data, kInfoStatusOffset, reply.status, 2);
    putText(data, kInfoTextOffset, reply.text, kInfoTextMax);
    putLe(data, kInfoModelOffset, reply.modelCode, 2);
    putLe(data, kInfoVersion1Offset, static_cast<std::uint32_t>(reply.version1), 4);
    putLe(data, kInfoVersion2Offset, static_cast<std::uint32_t>(reply.version2), 4);
    putLe(data, kInfoVersion3Offset, reply.version3, 2);
    putLe(data, kInfoVersion4Offset, reply.version4, 2);
    return data;
}

ReplyData eventData(std::uint16_t code)
{
    ReplyData data{};
    putLe(data, kEventCodeOffset, code, 2);
    return data;
}

} // namespace ostrel
