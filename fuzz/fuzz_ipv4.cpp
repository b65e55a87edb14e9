// Feeds arbitrary bytes to the address reader of the scale library.
#include "protocol/Ipv4Text.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto octets = ostrel::parseDecimalIpv4(text);
    if (!octets) {
        return 0;
    }
    // What it accepts is at most 15 bytes, and its plain form reads back the same.
    if (size > 15) {
        __builtin_trap();
    }
    char plain[16];
    std::snprintf(plain, sizeof plain, "%u.%u.%u.%u", (*octets)[0], (*octets)[1], (*octets)[2],
                  (*octets)[3]);
    if (ostrel::parseDecimalIpv4(plain) != octets) {
        __builtin_trap();
    }
    return 0;
}
