// Reading the dotted address texts that the settings store. Scale lists copied from other
// tools pad each octet to three digits ("192.168.000.005"), so every octet is decimal: a
// leading zero never makes it octal.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace ostrel {

// Four octets of one to three decimal digits each, 0 to 255, separated by single dots, with
// nothing before or after; nullopt otherwise.
std::optional<std::array<std::uint8_t, 4>> parseDecimalIpv4(std::string_view text);

} // namespace ostrel
