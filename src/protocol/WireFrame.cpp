#include "protocol/WireFrame.h"

#include <algorithm>

namespace ostrel {

namespace {

void putU32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::uint32_t getU32(const std::uint8_t* p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

} // namespace

std::vector<std::uint8_t> encodeFrame(std::uint8_t type, std::uint32_t requestId,
                                      std::span<const std::uint8_t> payload)
{
    std::vector<std::uint8_t> out;
    out.reserve(kWireHeaderSize + payload.size());
    out.push_back(kWireMagic0);
    out.push_back(kWireMagic1);
    out.push_back(kWireVersion);
    out.push_back(type);
    putU32(out, requestId);
    putU32(out, static_cast<std::uint32_t>(payload.size()));
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

void setRequestId(std::span<std::uint8_t> frame, std::uint32_t requestId)
{
    for (std::size_t i = 0; i < 4; ++i)
        frame[4 + i] = static_cast<std::uint8_t>(requestId >> (24 - 8 * i));
}

void FrameDecoder::append(std::span<const std::uint8_t> bytes)
{
    if (!m_error.empty())
        return;
    // Compact before growing so the buffer stays near one frame plus one read.
    if (m_start > 0) {
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(m_start));
        m_start = 0;
    }
    m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.end());
}

FrameDecoder::Result FrameDecoder::fail(std::string text)
{
    m_error = std::move(text);
    m_buffer.clear();
    m_start = 0;
    return Result::Error;
}

FrameDecoder::Result FrameDecoder::next(WireFrame& frame)
{
    if (!m_error.empty())
        return Result::Error;
    const std::size_t available = m_buffer.size() - m_start;
    const std::uint8_t* p = m_buffer.data() + m_start;
    // Check what has arrived of the header at once, so garbage is refused early.
    if (available >= 1 && p[0] != kWireMagic0)
        return fail("bad magic");
    if (available >= 2 && p[1] != kWireMagic1)
        return fail("bad magic");
    if (available >= 3 && p[2] != kWireVersion)
        return fail("unsupported protocol version " + std::to_string(p[2]));
    if (available < kWireHeaderSize)
        return Result::NeedMore;
    const std::uint32_t length = getU32(p + 8);
    if (length > kWireMaxPayload)
        return fail("frame too large: " + std::to_string(length) + " bytes");
    if (available < kWireHeaderSize + length)
        return Result::NeedMore;
    frame.type = p[3];
    frame.requestId = getU32(p + 4);
    frame.payload.assign(p + kWireHeaderSize, p + kWireHeaderSize + length);
    m_start += kWireHeaderSize + length;
    if (m_start == m_buffer.size()) {
        m_buffer.clear();
        m_start = 0;
    }
    return Result::Frame;
}

} // namespace ostrel
