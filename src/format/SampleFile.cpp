#include "format/SampleFile.h"

#include "engine/DataFiles.h"
#include "platform/FileSystem.h"

#include <fstream>

namespace ostrel {

std::string findSampleFile(std::string_view searchPattern)
{
    auto files = FindDataFiles(searchPattern);
    return files.empty() ? std::string() : std::move(files.front().path);
}

} // namespace ostrel

namespace ostrel {

bool sampleReadable(const std::string& path)
{
    if (path.empty()) {
        return false;
    }
    const std::string target = resolvePath(path);
    return fileExists(target) && std::ifstream(target, std::ios::binary).is_open();
}

} // namespace ostrel
