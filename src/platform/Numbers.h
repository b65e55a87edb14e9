// Number reading shared by everything that reads numbers from text, the C library's atoi way:
// leading blanks, optional sign, digits up to the first non-digit, 0 when there are none.
// Unlike atoi it never overflows: values beyond the int range are clamped.
#pragma once

#include <cstdint>
#include <string_view>

namespace ostrel {

int atoiText(std::string_view text);
std::int64_t atoi64Text(std::string_view text);

} // namespace ostrel
