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
    // Every other kind has exactly one code.
    for (const InstanceMessage& known :
         {InstanceMessage::exit(), InstanceMessage::runFull(), InstanceMessage::configure(),
          InstanceMessage::pluFileSetting(), InstanceMessage::show()}) {
        if (kind == static_cast<std::uint8_t>(known.kind) && code == known.code) {
            return known;
        }
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
    if (name == "configure") {
        return InstanceMessage::configure();
    }
    if (name == "plu-file-setting") {
        return InstanceMessage::pluFileSetting();
    }
    return std::nullopt;
}

} // namespace ostrel
