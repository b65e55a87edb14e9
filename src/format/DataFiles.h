// Data file discovery: the files that match the search pattern, oldest first.
#pragma once

#include "platform/FileSystem.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

inline constexpr std::size_t kMaxDataFiles = 100;

struct DataFileEntry
{
    std::string path;
    LocalTime time; // last write, local time, second resolution
    // Identity, size and time of the bytes a run read; set by the run. A file whose stamp
    // no longer matches was rewritten after reading and is kept for the next run.
    std::optional<FileStamp> readStamp;
};

// The table of found files, at most kMaxDataFiles rows: with more matches the oldest go in
// this run and the rest in a later one. `matched`, when given, gets the number of readable
// files that match, the ones beyond the table included.
std::vector<DataFileEntry> FindDataFiles(std::string_view searchPattern,
                                         std::size_t* matched = nullptr);

// Exchange sort of the first `count` rows, oldest first; year to second are compared, and
// equal rows are never swapped with each other.
void SortDataFiles(std::vector<DataFileEntry>& rows, std::size_t count);

} // namespace ostrel
