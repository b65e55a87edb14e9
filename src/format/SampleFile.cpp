#include "format/SampleFile.h"

#include "format/DataFiles.h"

namespace ostrel {

std::string findSampleFile(std::string_view searchPattern)
{
    auto files = FindDataFiles(searchPattern);
    return files.empty() ? std::string() : std::move(files.front().path);
}

} // namespace ostrel
