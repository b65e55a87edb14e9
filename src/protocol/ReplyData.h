// Lays out the reply data that the callbacks point to, in the form the library's callers read.
#pragma once

#include "protocol/ScaleBlocks.h"
#include "protocol/WireMessages.h"

#include <array>
#include <cstdint>

namespace ostrel {

using ReplyData = std::array<std::uint8_t, kReplyDataSize>;

ReplyData recordReplyData(const RecordReplyMessage& reply);
ReplyData infoReplyData(const InfoReplyMessage& reply);
ReplyData eventData(std::uint16_t code);

} // namespace ostrel
