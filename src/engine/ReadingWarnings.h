// The words of what reading a data file warns about: characters the code page lacks, and
// number fields read only in part. One place, so the trace, the --once summary, last-run.json
// and the notification say the same.
#pragma once

#include "engine/RunSummary.h"

#include <cstddef>
#include <string>
#include <vector>

namespace ostrel {

// "3 characters without a CP1252 form sent as '?' (first on line 7)".
std::string unmappedText(std::size_t count, const std::string& codePage, int firstLine);
// "2 lines with a number read only in part (first: line 14: price 'n/a' read as 0)".
std::string partialReadText(int count, const std::string& first);
// "line 14: price 'n/a' read as 0".
std::string partialReadExample(int fileLine, int field, const std::string& text, long long value);

// "PLU.TXT: read as UTF-8 (byte-order mark)" for each file, and one line per warning,
// "PLU.TXT: 2 lines with ...". File names are UTF-8 as far as their bytes allow.
std::vector<std::string> readingLines(const RunSummary& summary);
std::vector<std::string> readingWarnings(const RunSummary& summary);

} // namespace ostrel
