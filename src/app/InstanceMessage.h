// The small versioned frames another start of the program, or another program, sends to the
// running instance: copy-data code 82 (run), code 1094 (reload and run), exit, and the ways
// into the windows that the desktop entry's actions and a second start use.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace ostrel {

inline constexpr std::uint16_t kCopyDataRun = 82;
inline constexpr std::uint16_t kCopyDataReloadAndRun = 1094;

struct InstanceMessage
{
    enum class Kind : std::uint8_t
    {
        CopyData = 1,
        Exit = 2,
        RunFull = 3,        // code 82 with a full send to every scale (only changed records on)
        Configure = 4,      // open the configuration window
        PluFileSetting = 5, // open the PLU file setting window
        Show = 6            // a second start: code 1094, then the way in is shown
    };
    Kind kind = Kind::CopyData;
    std::uint16_t code = 0; // copy-data code; 0 for exit

    bool operator==(const InstanceMessage&) const = default;

    static InstanceMessage copyData(std::uint16_t code) { return {Kind::CopyData, code}; }
    static InstanceMessage exit() { return {Kind::Exit, 0}; }
    static InstanceMessage runFull() { return {Kind::RunFull, kCopyDataRun}; }
    static InstanceMessage configure() { return {Kind::Configure, 0}; }
    static InstanceMessage pluFileSetting() { return {Kind::PluFileSetting, 0}; }
    static InstanceMessage show() { return {Kind::Show, kCopyDataReloadAndRun}; }
    // Whether the message needs the desktop program's windows.
    bool wantsWindows() const { return kind == Kind::Configure || kind == Kind::PluFileSetting; }
};

// "OSTR", version 1, kind, code little-endian.
inline constexpr std::size_t kInstanceFrameSize = 8;
inline constexpr std::uint8_t kInstanceFrameVersion = 1;
inline constexpr char kInstanceAck = 0x06;
inline constexpr char kInstanceRefused = 0x15; // the running instance does not take this kind

std::array<char, kInstanceFrameSize> encodeInstanceMessage(const InstanceMessage& message);

// nullopt for anything but one well-formed frame of a known version and kind.
std::optional<InstanceMessage> decodeInstanceMessage(std::string_view frame);

// Parses the text of `--send`: run, reload-and-run, exit, configure, plu-file-setting.
std::optional<InstanceMessage> instanceMessageFromName(std::string_view name);

} // namespace ostrel
