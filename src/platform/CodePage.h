// The ANSI code page stand-in: every byte text (settings, rules, data lines, record texts) is
// in the code page named by $OSTREL_CODEPAGE (an iconv name, default CP1252).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ostrel {

std::string activeCodePage();

// UTF-8 to the active code page. A character the code page lacks becomes '?'; text that is
// not valid UTF-8 does not convert and gives "".
std::string utf8ToCodePage(std::string_view utf8);
std::string utf8ToCodePage(std::string_view utf8, const std::string& codePage);
// The same, adding to `unmapped` the characters that became '?'.
std::string utf8ToCodePage(std::string_view utf8, const std::string& codePage,
                           std::size_t& unmapped);
// Whether the code page writes ASCII as ASCII, so that ASCII text needs no conversion.
bool codePageKeepsAscii(const std::string& codePage);

// The other direction, for showing byte texts in windows; invalid bytes become U+FFFD.
std::string codePageToUtf8(std::string_view bytes);

} // namespace ostrel
