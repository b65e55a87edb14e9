// The messages of the scale link and their payload encodings (big-endian integers). Decoders
// return nothing for a payload that does not match its type exactly.
#pragma once

#include "protocol/ScaleBlocks.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ostrel {

enum class MessageType : std::uint8_t
{
    Hello = 0x01,
    Record = 0x02,
    InfoRequest = 0x03,
    HelloAck = 0x81,
    RecordReply = 0x82,
    InfoReply = 0x83,
    Error = 0x7F
};

enum class WireError : std::uint16_t
{
    Malformed = 1,
    Version = 2,
    Unexpected = 3,
    TooLarge = 4
};

inline constexpr std::size_t kWireErrorTextMax = 200;

using Payload = std::vector<std::uint8_t>;
using Bytes = std::span<const std::uint8_t>;

struct HelloAckMessage
{
    std::uint16_t modelCode = 0;
};

struct RecordMessage
{
    std::uint8_t action = 0;
    std::uint8_t dataKind = 0;
    std::uint16_t modelCode = 0;
    std::array<std::uint8_t, kPluRecordSize> record{};
};

// A record message read in place: the record stays in the payload it came in, which must
// outlive the view.
struct RecordView
{
    std::uint8_t action = 0;
    std::uint8_t dataKind = 0;
    std::uint16_t modelCode = 0;
    std::span<const std::uint8_t, kPluRecordSize> record;
};

struct RecordReplyMessage
{
    bool accepted = false;
    std::string errorText; // at most kReplyTextMax bytes, no zero bytes
};

struct InfoRequestMessage
{
    std::uint8_t dataKind = 0;
    std::uint16_t modelCode = 0;
};

struct InfoReplyMessage
{
    std::uint16_t status = 0;
    std::uint16_t modelCode = 0;
    std::int32_t version1 = 0;
    std::int32_t version2 = 0;
    std::uint16_t version3 = 0;
    std::uint16_t version4 = 0;
    std::string text; // at most kInfoTextMax bytes, no zero bytes
};

struct ErrorMessage
{
    WireError code = WireError::Malformed;
    std::string text; // at most kWireErrorTextMax bytes
};

Payload encodeHelloAck(const HelloAckMessage& message);
Payload encodeRecord(const RecordMessage& message);
// The whole Record frame (request id 0, see setRequestId) straight from the caller's record,
// so that sending copies the record once.
// What comes before the record in a Record frame: the header (request id 0) and the
// message's own fields, for writing the record from where it is.
inline constexpr std::size_t kRecordFrameHeadSize = 16;
std::array<std::uint8_t, kRecordFrameHeadSize>
encodeRecordFrameHead(std::uint8_t action, std::uint8_t dataKind, std::uint16_t modelCode);
std::vector<std::uint8_t> encodeRecordFrame(std::uint8_t action, std::uint8_t dataKind,
                                            std::uint16_t modelCode,
                                            std::span<const std::uint8_t, kPluRecordSize> record);
Payload encodeRecordReply(const RecordReplyMessage& message);
Payload encodeInfoRequest(const InfoRequestMessage& message);
Payload encodeInfoReply(const InfoReplyMessage& message);
Payload encodeError(const ErrorMessage& message);

bool decodeHello(Bytes payload);
std::optional<HelloAckMessage> decodeHelloAck(Bytes payload);
std::optional<RecordMessage> decodeRecord(Bytes payload);
std::optional<RecordView> viewRecord(Bytes payload);
std::optional<RecordReplyMessage> decodeRecordReply(Bytes payload);
std::optional<InfoRequestMessage> decodeInfoRequest(Bytes payload);
std::optional<InfoReplyMessage> decodeInfoReply(Bytes payload);
std::optional<ErrorMessage> decodeError(Bytes payload);

} // namespace ostrel
