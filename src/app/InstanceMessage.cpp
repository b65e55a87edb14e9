#include "app/InstanceMessage.h"

namespace ostrel {

std::array<char, kInstanceFrameSize> encodeInstanceMessage(const InstanceMessage& message)
{
    return {'O',
            'S',
            'T',
            'R',
            static_cast<char>(kInstanceFrameVersion),
            static_cast<char>(message.kind),
            static_cast<char>(message.code & 0xFF),
            static_cast<char>(message.code >> 8)};
}

std::optional<InstanceMessage> decodeInstanceMessage(std::string_view frame)
{
    if (frame.size() != kInstanceFrameSize || frame.substr(0, 4) != "OSTR" ||
        static_cast<std::uint8_t>(frame[4]) != kInstanceFrameVersion) {
        return std::nullopt;
    }
    const auto kind = static_cast<std::uint8_t>(frame[5]);
    const auto code = static_cast<std::uint16_t>(static_cast<std::uint8_t>(frame[6]) |
                                                 (static_cast<std::uint8_t>(frame[7]) << 8));
    if (kind == static_cast<std::uint8_t>(InstanceMessage::Kind::CopyData)) {
        return InstanceMessage::copyData(code);
    }
    if (kind == static_cast<std::uint8_t>(InstanceMessage::Kind::Exit) && code == 0) {
        return InstanceMessage::exit();
    }
    if (kind == static_cast<std::uint8_t>(InstanceMessage::Kind::RunFull) && code == kCopyDataRun) {
        return InstanceMessage::runFull();
    }
    return std::nullopt;
}

std::optional<InstanceMessage> instanceMessageFromName(std::string_view name)
{
    if (name == "run") {
        return InstanceMessage::copyData(kCopyDataRun);
    }
    if (name == "reload-and-run") {
        return InstanceMessage::copyData(kCopyDataReloadAndRun);
    }
    if (name == "exit") {
        return InstanceMessage::exit();
    }
    return std::nullopt;
}

} // namespace ostrel
