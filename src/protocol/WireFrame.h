// Framing of the scale link: a 12-byte header (magic, version, type, request id, payload length)
// and a bounded payload. The decoder takes a byte stream in pieces of any size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ostrel {

inline constexpr std::uint8_t kWireMagic0 = 0x4F; // 'O'
inline constexpr std::uint8_t kWireMagic1 = 0x53; // 'S'
inline constexpr std::uint8_t kWireVersion = 1;
inline constexpr std::size_t kWireHeaderSize = 12;
inline constexpr std::size_t kWireMaxPayload = 6144;

struct WireFrame
{
    std::uint8_t type = 0;
    std::uint32_t requestId = 0;
    std::vector<std::uint8_t> payload;
};

std::vector<std::uint8_t> encodeFrame(std::uint8_t type, std::uint32_t requestId,
                                      std::span<const std::uint8_t> payload);
// Writes the request id into an encoded frame, for frames built before their id is known.
void setRequestId(std::span<std::uint8_t> frame, std::uint32_t requestId);

class FrameDecoder final
{
public:
    enum class Result
    {
        NeedMore,
        Frame,
        Error
    };

    void append(std::span<const std::uint8_t> bytes);
    // Takes the next complete frame off the buffer. After Error the stream is unusable: the
    // decoder stays in error and error() says why.
    Result next(WireFrame& frame);
    const std::string& error() const { return m_error; }
    std::size_t buffered() const { return m_buffer.size() - m_start; }

private:
    Result fail(std::string text);

    std::vector<std::uint8_t> m_buffer;
    std::size_t m_start = 0;
    std::string m_error;
};

} // namespace ostrel
