// Framing, message payloads, scan datagrams and the reply data layout.
#include "protocol/Ipv4Text.h"
#include "protocol/ReplyData.h"
#include "protocol/ScanFrame.h"
#include "protocol/WireFrame.h"
#include "protocol/WireMessages.h"

#include <gtest/gtest.h>

#include <cstring>

namespace ostrel {
namespace {

std::vector<std::uint8_t> recordFrame(std::uint32_t id)
{
    RecordMessage m;
    m.action = kActionRecord;
    m.dataKind = kDataKindPlu;
    m.modelCode = 7100;
    for (std::size_t i = 0; i < m.record.size(); ++i)
        m.record[i] = static_cast<std::uint8_t>(i * 7);
    return encodeFrame(static_cast<std::uint8_t>(MessageType::Record), id, encodeRecord(m));
}

TEST(Ipv4Text, OctetsAreDecimalEvenWithLeadingZeros)
{
    using Octets = std::array<std::uint8_t, 4>;
    EXPECT_EQ(parseDecimalIpv4("127.000.000.002"), (Octets{127, 0, 0, 2}));
    EXPECT_EQ(parseDecimalIpv4("192.168.010.011"), (Octets{192, 168, 10, 11})); // not 8 and 9
    EXPECT_EQ(parseDecimalIpv4("010.0.0.255"), (Octets{10, 0, 0, 255}));
    for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "1.2.3.256", "1..3.4", "1.2.3.4 ", "a.b.c.d",
                            "1.2.3.0004", "-1.2.3.4", "0x7f.0.0.1", "1.2.3.4:80"}) {
        EXPECT_FALSE(parseDecimalIpv4(bad)) << bad;
    }
}

TEST(WireFrame, DecodesFramesSplitAtEveryByteAndBackToBack)
{
    auto stream = recordFrame(1);
    const auto second = recordFrame(2);
    stream.insert(stream.end(), second.begin(), second.end());

    FrameDecoder decoder;
    std::vector<WireFrame> frames;
    for (std::uint8_t byte : stream) {
        decoder.append(std::span(&byte, 1));
        WireFrame frame;
        while (decoder.next(frame) == FrameDecoder::Result::Frame)
            frames.push_back(frame);
    }
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].requestId, 1u);
    EXPECT_EQ(frames[1].requestId, 2u);
    const auto record = decodeRecord(frames[1].payload);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->record[100], static_cast<std::uint8_t>(700));
    EXPECT_EQ(decoder.buffered(), 0u);
}

TEST(WireFrame, DirectRecordFrameMatchesTheGeneralEncoding)
{
    RecordMessage m;
    m.action = kActionDelete;
    m.dataKind = kDataKindPlu;
    m.modelCode = 7110;
    for (std::size_t i = 0; i < m.record.size(); ++i)
        m.record[i] = static_cast<std::uint8_t>(i * 13 + 5);
    auto frame = encodeRecordFrame(m.action, m.dataKind, m.modelCode, m.record);
    setRequestId(frame, 0x01020304);
    EXPECT_EQ(frame, encodeFrame(static_cast<std::uint8_t>(MessageType::Record), 0x01020304,
                                 encodeRecord(m)));
}

TEST(WireFrame, RefusesBadMagicVersionAndOversizedLength)
{
    const std::vector<std::vector<std::uint8_t>> bad = {
        {'X'},
        {0x4F, 0x53, 2},
        {0x4F, 0x53, 1, 2, 0, 0, 0, 1, 0, 0, 0x18, 0x01}, // 6145 bytes announced
        {0x4F, 0x53, 1, 2, 0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFF},
    };
    for (const auto& bytes : bad) {
        FrameDecoder decoder;
        decoder.append(bytes);
        WireFrame frame;
        EXPECT_EQ(decoder.next(frame), FrameDecoder::Result::Error);
        EXPECT_FALSE(decoder.error().empty());
        // The stream stays refused: no resynchronising on later bytes.
        decoder.append(recordFrame(1));
        EXPECT_EQ(decoder.next(frame), FrameDecoder::Result::Error);
    }
    FrameDecoder decoder;
    decoder.append(std::vector<std::uint8_t>{0x4F, 0x53, 1, 2, 0, 0, 0, 1, 0, 0, 0x18, 0x00});
    WireFrame frame;
    EXPECT_EQ(decoder.next(frame), FrameDecoder::Result::NeedMore) << "6144 bytes is allowed";
}

TEST(WireMessages, PayloadsMustHaveTheirExactSize)
{
    const auto record = recordFrame(1);
    Payload payload(record.begin() + kWireHeaderSize, record.end());
    EXPECT_TRUE(decodeRecord(payload));
    payload.pop_back();
    EXPECT_FALSE(decodeRecord(payload));
    payload.push_back(0);
    payload[0] = 5; // action other than 3 and 4
    EXPECT_FALSE(decodeRecord(payload));

    EXPECT_FALSE(decodeRecordReply(Payload{1, 5, 'E', '8'})); // text shorter than said
    EXPECT_FALSE(decodeRecordReply(Payload{2, 0}));           // accepted flag not 0/1
    EXPECT_FALSE(decodeRecordReply(Payload{0, 2, 'E', 0}));   // zero inside text
    EXPECT_FALSE(decodeInfoReply(Payload{0, 1}));
    EXPECT_FALSE(decodeHello(Payload{0}));

    const auto reply = decodeRecordReply(encodeRecordReply({false, "E88 busy"}));
    ASSERT_TRUE(reply);
    EXPECT_FALSE(reply->accepted);
    EXPECT_EQ(reply->errorText, "E88 busy");
}

TEST(ReplyData, RecordAndInfoRepliesAndEventsAreLaidOutForTheCallers)
{
    const auto refused = recordReplyData({false, "E88"});
    EXPECT_EQ(std::memcmp(refused.data() + 2, "\0\0\0\0\0E88\0", 9), 0);
    const auto accepted = recordReplyData({true, ""});
    EXPECT_EQ(accepted[2], 1);
    EXPECT_EQ(accepted[7], 0);

    InfoReplyMessage info;
    info.status = 0x0102;
    info.modelCode = 7110;
    info.version1 = 123;
    info.version2 = -2;
    info.version3 = 15;
    info.version4 = 2;
    info.text = std::string(150, 'x'); // cut to fit its slot
    const auto data = infoReplyData(info);
    EXPECT_EQ(data[0], 0x02);
    EXPECT_EQ(data[1], 0x01);
    EXPECT_EQ(data[2], 'x');
    EXPECT_EQ(data[2 + 98], 'x');
    EXPECT_EQ(data[2 + 99], 0);
    const std::uint8_t tail[] = {0xC6, 0x1B, 0,    0,    0,  123, 0, 0, 0,
                                 0xFE, 0xFF, 0xFF, 0xFF, 15, 0,   2, 0};
    EXPECT_EQ(std::memcmp(data.data() + 104, tail, sizeof tail), 0);

    const auto event = eventData(kEventConnectionFailed);
    EXPECT_EQ(event[0], 8);
    EXPECT_EQ(event[1], 0);
}

TEST(ScanFrame, RequestAndReplyBytes)
{
    const auto request = scanRequest();
    EXPECT_EQ(std::vector<std::uint8_t>(request.begin(), request.end()),
              (std::vector<std::uint8_t>{0x53, 0x02, 0x02}));
    EXPECT_TRUE(isScanRequest(request));
    EXPECT_FALSE(isScanRequest(std::vector<std::uint8_t>{0x53, 0x02, 0x03}));
    EXPECT_FALSE(isScanRequest(std::vector<std::uint8_t>{0x53, 0x02, 0x02, 0x00}));

    ScanReply reply;
    reply.identifier = {1, 2, 3, 4, 5, 6};
    reply.address = {127, 0, 0, 2};
    reply.port = 20304;
    const auto bytes = encodeScanReply(reply);
    EXPECT_EQ(bytes[0], 0x53);
    EXPECT_EQ(bytes[1], 0x04);
    EXPECT_EQ(bytes[10], 127);
    EXPECT_EQ(bytes[13], 2);
    EXPECT_EQ(bytes[22], 0x4F); // 20304 big-endian
    EXPECT_EQ(bytes[23], 0x50);
    std::uint8_t sum = 0;
    for (std::size_t i = 1; i <= 36; ++i)
        sum ^= bytes[i];
    EXPECT_EQ(bytes[37], sum);

    const auto parsed = parseScanReply(bytes);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->port, 20304);
    EXPECT_EQ(parsed->identifier, reply.identifier);

    auto corrupt = bytes;
    corrupt[37] ^= 1;
    EXPECT_FALSE(parseScanReply(corrupt));
    EXPECT_FALSE(parseScanReply(std::span(bytes).first(37)));
}

} // namespace
} // namespace ostrel
