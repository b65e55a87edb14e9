#include "protocol/WireMessages.h"

#include "protocol/WireFrame.h"

#include <algorithm>
#include <cstring>

namespace ostrel {

namespace {

class Writer
{
public:
    void u8(std::uint8_t v) { m_out.push_back(v); }
    void u16(std::uint16_t v)
    {
        u8(static_cast<std::uint8_t>(v >> 8));
        u8(static_cast<std::uint8_t>(v));
    }
    void u32(std::uint32_t v)
    {
        u16(static_cast<std::uint16_t>(v >> 16));
        u16(static_cast<std::uint16_t>(v));
    }
    // A length byte and the text, cut to max and at its first zero byte.
    void text(const std::string& s, std::size_t max)
    {
        std::size_t n = std::min({s.size(), max, s.find('\0')});
        u8(static_cast<std::uint8_t>(n));
        m_out.insert(m_out.end(), s.begin(), s.begin() + static_cast<std::ptrdiff_t>(n));
    }
    void bytes(Bytes b) { m_out.insert(m_out.end(), b.begin(), b.end()); }
    Payload take() { return std::move(m_out); }

private:
    Payload m_out;
};

class Reader
{
public:
    explicit Reader(Bytes in) : m_in(in) {}
    bool ok() const { return m_ok; }
    bool done() const { return m_ok && m_pos == m_in.size(); }
    std::uint8_t u8()
    {
        if (!need(1))
            return 0;
        return m_in[m_pos++];
    }
    std::uint16_t u16()
    {
        const std::uint16_t hi = u8();
        return static_cast<std::uint16_t>((hi << 8) | u8());
    }
    std::uint32_t u32()
    {
        const std::uint32_t hi = u16();
        return (hi << 16) | u16();
    }
    std::string text(std::size_t max)
    {
        const std::size_t n = u8();
        if (n > max || !need(n)) {
            m_ok = false;
            return {};
        }
        std::string s(m_in.begin() + static_cast<std::ptrdiff_t>(m_pos),
                      m_in.begin() + static_cast<std::ptrdiff_t>(m_pos + n));
        m_pos += n;
        if (s.find('\0') != std::string::npos)
            m_ok = false;
        return s;
    }
    void bytes(std::span<std::uint8_t> out)
    {
        if (!need(out.size()))
            return;
        std::memcpy(out.data(), m_in.data() + m_pos, out.size());
        m_pos += out.size();
    }

private:
    bool need(std::size_t n)
    {
        if (!m_ok || m_in.size() - m_pos < n)
            m_ok = false;
        return m_ok;
    }

    Bytes m_in;
    std::size_t m_pos = 0;
    bool m_ok = true;
};

} // namespace

Payload encodeHelloAck(const HelloAckMessage& message)
{
    Writer w;
    w.u16(message.modelCode);
    return w.take();
}

Payload encodeRecord(const RecordMessage& message)
{
    Writer w;
    w.u8(message.action);
    w.u8(message.dataKind);
    w.u16(message.modelCode);
    w.bytes(message.record);
    return w.take();
}

std::array<std::uint8_t, kRecordFrameHeadSize>
encodeRecordFrameHead(std::uint8_t action, std::uint8_t dataKind, std::uint16_t modelCode)
{
    constexpr std::uint32_t kPayload = 4 + kPluRecordSize;
    static_assert(kRecordFrameHeadSize == kWireHeaderSize + 4);
    return {kWireMagic0,
            kWireMagic1,
            kWireVersion,
            static_cast<std::uint8_t>(MessageType::Record),
            0,
            0,
            0,
            0,
            static_cast<std::uint8_t>(kPayload >> 24),
            static_cast<std::uint8_t>(kPayload >> 16),
            static_cast<std::uint8_t>(kPayload >> 8),
            static_cast<std::uint8_t>(kPayload),
            action,
            dataKind,
            static_cast<std::uint8_t>(modelCode >> 8),
            static_cast<std::uint8_t>(modelCode)};
}

std::vector<std::uint8_t> encodeRecordFrame(std::uint8_t action, std::uint8_t dataKind,
                                            std::uint16_t modelCode,
                                            std::span<const std::uint8_t, kPluRecordSize> record)
{
    const auto head = encodeRecordFrameHead(action, dataKind, modelCode);
    std::vector<std::uint8_t> frame;
    frame.reserve(head.size() + record.size());
    frame.insert(frame.end(), head.begin(), head.end());
    frame.insert(frame.end(), record.begin(), record.end());
    return frame;
}

Payload encodeRecordReply(const RecordReplyMessage& message)
{
    Writer w;
    w.u8(message.accepted ? 1 : 0);
    w.text(message.errorText, kReplyTextMax);
    return w.take();
}

Payload encodeInfoRequest(const InfoRequestMessage& message)
{
    Writer w;
    w.u8(message.dataKind);
    w.u16(message.modelCode);
    return w.take();
}

Payload encodeInfoReply(const InfoReplyMessage& message)
{
    Writer w;
    w.u16(message.status);
    w.u16(message.modelCode);
    w.u32(static_cast<std::uint32_t>(message.version1));
    w.u32(static_cast<std::uint32_t>(message.version2));
    w.u16(message.version3);
    w.u16(message.version4);
    w.text(message.text, kInfoTextMax);
    return w.take();
}

Payload encodeError(const ErrorMessage& message)
{
    Writer w;
    w.u16(static_cast<std::uint16_t>(message.code));
    w.text(message.text, kWireErrorTextMax);
    return w.take();
}

bool decodeHello(Bytes payload)
{
    return payload.empty();
}

std::optional<HelloAckMessage> decodeHelloAck(Bytes payload)
{
    Reader r(payload);
    HelloAckMessage m;
    m.modelCode = r.u16();
    return r.done() ? std::optional(m) : std::nullopt;
}

std::optional<RecordView> viewRecord(Bytes payload)
{
    constexpr std::size_t kHead = 4;
    if (payload.size() != kHead + kPluRecordSize)
        return std::nullopt;
    const std::uint8_t action = payload[0];
    if (action != kActionRecord && action != kActionDelete)
        return std::nullopt;
    return RecordView{action, payload[1],
                      static_cast<std::uint16_t>((payload[2] << 8) | payload[3]),
                      payload.subspan<kHead, kPluRecordSize>()};
}

std::optional<RecordMessage> decodeRecord(Bytes payload)
{
    const auto view = viewRecord(payload);
    if (!view)
        return std::nullopt;
    RecordMessage m;
    m.action = view->action;
    m.dataKind = view->dataKind;
    m.modelCode = view->modelCode;
    std::copy(view->record.begin(), view->record.end(), m.record.begin());
    return m;
}

std::optional<RecordReplyMessage> decodeRecordReply(Bytes payload)
{
    Reader r(payload);
    RecordReplyMessage m;
    const std::uint8_t accepted = r.u8();
    m.errorText = r.text(kReplyTextMax);
    if (!r.done() || accepted > 1)
        return std::nullopt;
    m.accepted = accepted == 1;
    return m;
}

std::optional<InfoRequestMessage> decodeInfoRequest(Bytes payload)
{
    Reader r(payload);
    InfoRequestMessage m;
    m.dataKind = r.u8();
    m.modelCode = r.u16();
    return r.done() ? std::optional(m) : std::nullopt;
}

std::optional<InfoReplyMessage> decodeInfoReply(Bytes payload)
{
    Reader r(payload);
    InfoReplyMessage m;
    m.status = r.u16();
    m.modelCode = r.u16();
    m.version1 = static_cast<std::int32_t>(r.u32());
    m.version2 = static_cast<std::int32_t>(r.u32());
    m.version3 = r.u16();
    m.version4 = r.u16();
    m.text = r.text(kInfoTextMax);
    return r.done() ? std::optional(m) : std::nullopt;
}

std::optional<ErrorMessage> decodeError(Bytes payload)
{
    Reader r(payload);
    ErrorMessage m;
    m.code = static_cast<WireError>(r.u16());
    m.text = r.text(kWireErrorTextMax);
    return r.done() ? std::optional(m) : std::nullopt;
}

} // namespace ostrel
