#include "settings/SearchPattern.h"

#include "platform/FileSystem.h"
#include "settings/ProfileBatch.h"
#include "settings/TarvikKeys.h"

namespace ostrel {

std::string buildSearchPattern(std::string_view folder, std::string_view prefix,
                               std::string_view extension)
{
    if (folder.empty() || prefix.empty() || extension.empty()) {
        return {};
    }
    std::string pattern(folder);
    pattern += '/';
    pattern += prefix;
    pattern += "*.";
    pattern += extension;
    return collapseDoubleSlashes(std::move(pattern));
}

std::string readSearchPattern(const std::string& tarvikIni)
{
    using namespace tarvik;
    const ProfileSnapshot ini(tarvikIni);
    return buildSearchPattern(ini.read(kSectionPath, kKeyPluRoot, "", kValueCapacity),
                              ini.read(kSectionPath, kKeyPrefix, "", kValueCapacity),
                              ini.read(kSectionPath, kKeyExtension, "", kValueCapacity));
}

} // namespace ostrel
