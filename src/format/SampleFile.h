// The sample data file the PLU file setting window shows: the oldest file that matches a
// search pattern, as discovery orders them (directory order is arbitrary on Linux).
#pragma once

#include <string>
#include <string_view>

namespace ostrel {

// What the window says when it needs a sample and none can be read.
inline constexpr const char* kNoDataFileMessage = "There is no PLU Data File.";

// Full path of the sample, "" when the pattern is empty or nothing matches.
std::string findSampleFile(std::string_view searchPattern);

// The message with a second line saying where the window looked: "Looked for PLU*.TXT in
// /home/shop/plu.", or that the folder, prefix or extension is missing.
std::string noDataFileMessage(std::string_view searchPattern);

} // namespace ostrel
