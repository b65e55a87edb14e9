// The sample data file the PLU file setting window shows: the oldest file that matches a
// search pattern, as discovery orders them (directory order is arbitrary on Linux).
#pragma once

#include <string>
#include <string_view>

namespace ostrel {

// Full path of the sample, "" when the pattern is empty or nothing matches.
std::string findSampleFile(std::string_view searchPattern);

// Whether a sample path names a file that can be opened for reading ("" cannot).
bool sampleReadable(const std::string& path);

} // namespace ostrel
