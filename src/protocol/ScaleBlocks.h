// The two argument blocks of the scale protocol library and its callback types. Field order and
// values are the library's; address fields are native pointers (8 bytes on a 64-bit build).
#pragma once

#include <cstddef>
#include <cstdint>

namespace ostrel {

struct SendBlock;

// Both callbacks get the block by value. Its data pointer refers to reply data that the library
// owns and that stays valid only while the callback runs.
using ReplyCallback = int (*)(SendBlock block);
using EventCallback = int (*)(SendBlock block);

inline constexpr std::uint16_t kConnectionIdAny = 0xFFFF;
inline constexpr std::uint16_t kScaleKind = 100;
inline constexpr std::uint8_t kDataKindPlu = 218;
inline constexpr std::uint8_t kDataKindInfoMn = 61;
inline constexpr std::uint8_t kDataKindInfo = 62;
inline constexpr std::uint8_t kDataKindInfoOther = 6;
inline constexpr std::uint16_t kActionInfoRequest = 2;
inline constexpr std::uint16_t kActionRecord = 3;
inline constexpr std::uint16_t kActionDelete = 4;
inline constexpr std::uint16_t kPluRecordSize = 5308;

// Connection event codes, at offset 0 of the event data.
inline constexpr std::uint16_t kEventConnectionFailed = 8;

// Reply data offsets.
inline constexpr std::size_t kReplyAcceptedOffset = 2; // 32-bit, non-zero: accepted
inline constexpr std::size_t kReplyTextOffset = 7;     // zero-terminated error text
inline constexpr std::size_t kReplyTextMax = 100;      // characters, without the zero
inline constexpr std::size_t kInfoStatusOffset = 0;    // 16-bit
inline constexpr std::size_t kInfoTextOffset = 2;      // 100 bytes, zero-terminated
inline constexpr std::size_t kInfoTextMax = 99;
inline constexpr std::size_t kInfoModelOffset = 104;    // 16-bit
inline constexpr std::size_t kInfoVersion1Offset = 109; // signed 32-bit
inline constexpr std::size_t kInfoVersion2Offset = 113; // signed 32-bit
inline constexpr std::size_t kInfoVersion3Offset = 117; // 16-bit
inline constexpr std::size_t kInfoVersion4Offset = 119; // 16-bit
inline constexpr std::size_t kEventCodeOffset = 0;      // 16-bit
inline constexpr std::size_t kReplyDataSize = 128;      // every reply buffer has this size

// Handed by value to AddConnectionEx.
struct ConnectionBlock
{
    std::uint16_t connectionId = kConnectionIdAny;
    const char* ipText = nullptr;
    std::uint16_t port = 0;
    std::uint16_t scaleKind = kScaleKind;
    std::uint16_t modelCode = 0;
    std::uint16_t timeoutValue = 3000;
    std::uint16_t retryValue = 3;
    std::uint8_t flag18 = 1;
    std::uint8_t flag19 = 0;
    std::uint8_t flag20 = 1;
    std::uint8_t dataKind = kDataKindPlu;
    std::uint8_t reserved22[18] = {};
    ReplyCallback onReply = nullptr;
    EventCallback onEvent = nullptr;
    std::int32_t version1 = 0;
    std::int32_t version2 = 0;
    std::int32_t version4 = 0;
    std::int32_t version3 = 0;
    std::uint8_t reserved64[8] = {};
};

// Handed by value to SendDataEx and back to both callbacks.
struct SendBlock
{
    std::uint16_t connectionId = kConnectionIdAny;
    const char* ipText = nullptr;
    std::uint8_t flag8 = 1;
    std::uint8_t flag9 = 1;
    std::uint8_t dataKind = kDataKindPlu;
    std::uint8_t reserved11 = 0;
    std::uint16_t scaleKind = kScaleKind;
    std::uint16_t modelCode = 0;
    std::uint16_t actionCode = 0;
    std::uint16_t dataSize = 0;
    void* data = nullptr;
    std::int32_t version1 = 0;
    std::int32_t version2 = 0;
    std::int32_t version4 = 0;
    std::int32_t version3 = 0;
    std::uint8_t reserved40[8] = {};
};

// With 4-byte pointers these are the library's 72- and 48-byte layouts.
static_assert(sizeof(void*) != 4 || sizeof(ConnectionBlock) == 72);
static_assert(sizeof(void*) != 4 || sizeof(SendBlock) == 48);
static_assert(offsetof(ConnectionBlock, onReply) == (sizeof(void*) == 8 ? 48 : 40));
static_assert(offsetof(SendBlock, data) == (sizeof(void*) == 8 ? 32 : 20));

} // namespace ostrel
