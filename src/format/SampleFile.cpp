#include "format/SampleFile.h"

#include "format/DataFiles.h"

namespace ostrel {

std::string findSampleFile(std::string_view searchPattern)
{
    auto files = FindDataFiles(searchPattern);
    return files.empty() ? std::string() : std::move(files.front().path);
}

std::string noDataFileMessage(std::string_view searchPattern)
{
    std::string text = kNoDataFileMessage;
    const auto slash = searchPattern.find_last_of('/');
    if (searchPattern.empty() || slash == std::string_view::npos) {
        return text + "\n\nThe folder, the prefix and the extension must all be given.";
    }
    text += "\n\nLooked for ";
    text += searchPattern.substr(slash + 1);
    text += " in ";
    text += slash == 0 ? std::string_view("/") : searchPattern.substr(0, slash);
    return text + ".";
}

} // namespace ostrel
