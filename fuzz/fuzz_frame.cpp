// Fuzzes the scale link's frame decoder and every message decoder, as both ends use them:
// bytes in any chunking must give frames, NeedMore or a clean error, never a crash.
#include "protocol/ReplyData.h"
#include "protocol/WireFrame.h"
#include "protocol/WireMessages.h"

#include <cstdlib>
#include <cstring>

using namespace ostrel;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void decodeAll(const WireFrame& frame)
{
    const Bytes p(frame.payload);
    check(frame.payload.size() <= kWireMaxPayload);
    // Whatever decodes must encode back to the same bytes.
    if (decodeHello(p))
        check(p.empty());
    if (auto m = decodeHelloAck(p))
        check(encodeHelloAck(*m) == frame.payload);
    if (auto m = decodeRecord(p))
        check(encodeRecord(*m) == frame.payload);
    if (auto m = decodeRecordReply(p)) {
        check(encodeRecordReply(*m) == frame.payload);
        const auto data = recordReplyData(*m);
        check(std::strlen(reinterpret_cast<const char*>(data.data() + kReplyTextOffset)) ==
              m->errorText.size());
    }
    if (auto m = decodeInfoRequest(p))
        check(encodeInfoRequest(*m) == frame.payload);
    if (auto m = decodeInfoReply(p)) {
        check(encodeInfoReply(*m) == frame.payload);
        infoReplyData(*m);
    }
    if (auto m = decodeError(p))
        check(encodeError(*m) == frame.payload);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the read size, as the network would split the stream.
    const std::size_t chunk = 1 + data[0] % 64;
    ++data;
    --size;
    FrameDecoder decoder;
    std::size_t frames = 0;
    for (std::size_t offset = 0; offset < size; offset += chunk) {
        decoder.append(std::span(data + offset, std::min(chunk, size - offset)));
        WireFrame frame;
        for (;;) {
            const auto result = decoder.next(frame);
            if (result == FrameDecoder::Result::Frame) {
                ++frames;
                decodeAll(frame);
                check(encodeFrame(frame.type, frame.requestId, frame.payload).size() ==
                      kWireHeaderSize + frame.payload.size());
                continue;
            }
            if (result == FrameDecoder::Result::Error)
                check(!decoder.error().empty() && decoder.buffered() == 0);
            break;
        }
        // Never more than one unfinished frame plus one read is held.
        check(decoder.buffered() < kWireHeaderSize + kWireMaxPayload + chunk);
    }
    check(frames * kWireHeaderSize <= size);
    return 0;
}
