#include "settings/RunSettingsFile.h"

#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "settings/TarvikKeys.h"

#include <string_view>

namespace ostrel {

std::string runSettingsFilePath(const SettingsPaths& paths)
{
    using namespace tarvik;
    // Tarvik.ini's own full path doubles as the "absent" marker: product folder + an absolute
    // path would name no file anyway.
    const std::string value = readProfileString(kSectionPath, kKeyConfigRoot, paths.tarvikIni,
                                                kValueCapacity, paths.tarvikIni);
    if (value == std::string_view(paths.tarvikIni).substr(0, kValueCapacity - 1)) {
        return paths.tarvikIni;
    }
    return resolvePath(concatPath(paths.productFolder, value));
}

} // namespace ostrel
