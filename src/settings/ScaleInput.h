// The scale input window's rules: its model list, which item it selects for a model text, and
// the check of the address and port it makes before it hands them on (a scale that can never
// be reached must not be saved).
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

// The model box's items in the order the sorted box shows them.
inline constexpr std::array<std::string_view, 4> kScaleInputModels{"QV7100", "QV7100MN", "QV7300",
                                                                   "QV7600"};

// The first item that begins with `modelText`, ignoring case; 0 when none does.
int scaleInputModelIndex(std::string_view modelText);

inline constexpr const char* kIncompleteAddressMessage =
    "Enter all four numbers of the IP address, each from 0 to 255.";
inline constexpr const char* kBadPortMessage = "Enter a port from 1 to 65535.";

// What is wrong with the entered address octets and port text, or nullopt when they can be
// saved. Each octet must be 1 to 3 digits with a value up to 255; the port 1 to 65535.
std::optional<std::string> checkScaleInput(const std::array<std::string, 4>& octets,
                                           std::string_view portText);

} // namespace ostrel
