// Settings in Tarvik.ini that would make a run send wrong values, or find nothing for a reason
// the user cannot see. Each check gives the message to show, naming the file or key; "" when
// all is well.
#pragma once

#include "platform/TextEncoding.h"

#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

inline constexpr int kMaxDecimalPlaces = 3;

// [CYCLE] "Decimal Point": decimal digits giving 0 to 3; nullopt for anything else, an empty
// or missing value included (read as 0 decimals it would send 2.49 as 2).
std::optional<int> decimalPlaces(std::string_view text);
std::string decimalPointProblem(std::string_view text);

// [SENDFILE] "ENCODING" as stored, "" when absent; a value other than auto, utf-8 and
// codepage is a problem (which encoding the back office meant is anybody's guess).
std::string storedEncoding(const std::string& tarvikIni);
std::string encodingProblem(std::string_view text);
// The setting the readers apply; a value that is a problem counts as auto there (a run
// refuses it before it reads anything).
EncodingSetting readEncodingSetting(const std::string& tarvikIni);

// A Tarvik.ini that exists but is no regular file, cannot be read, or has no [PATH] section.
// A missing file is no problem here: every read then takes its default.
std::string tarvikIniProblem(const std::string& tarvikIni);

} // namespace ostrel
