#include "settings/RunSettingsFile.h"

#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/Numbers.h"
#include "settings/SearchPattern.h"
#include "settings/TarvikKeys.h"

#include <algorithm>

namespace ostrel {

namespace {

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

std::string runSettingsFilePath(const SettingsPaths& paths)
{
    using namespace tarvik;
    // Tarvik.ini's own full path doubles as the "absent" marker: product folder + an absolute
    // path would name no file anyway.
    const std::string value = readProfileString(kSectionPath, kKeyConfigRoot, paths.tarvikIni,
                                                kValueCapacity, paths.tarvikIni);
    // An empty value is no file either: the product folder would be read as one, and every
    // layout key would take its default.
    if (value.empty() || value == std::string_view(paths.tarvikIni).substr(0, kValueCapacity - 1)) {
        return paths.tarvikIni;
    }
    return resolvePath(concatPath(paths.productFolder, value));
}

std::string configFileFieldText(const SettingsPaths& paths)
{
    using namespace tarvik;
    return concatPath(paths.productFolder, readProfileString(kSectionPath, kKeyConfigRoot, "",
                                                             kValueCapacity, paths.tarvikIni));
}

std::string configRootForSave(std::string_view fieldText, const SettingsPaths& paths)
{
    const std::string_view folder = paths.productFolder;
    std::string result;
    std::size_t pos = 0;
    while (pos < fieldText.size()) {
        const std::string_view rest = fieldText.substr(pos);
        const bool match =
            !folder.empty() && rest.size() >= folder.size() &&
            std::equal(folder.begin(), folder.end(), rest.begin(),
                       [](char a, char b) { return lowerAscii(a) == lowerAscii(b); });
        if (match) {
            pos += folder.size();
        } else {
            result += fieldText[pos++];
        }
    }
    return result;
}

std::optional<RunSettingsValues> readRunSettingsValues(const SettingsPaths& paths)
{
    using namespace tarvik;
    if (!fileExists(paths.tarvikIni)) {
        return std::nullopt;
    }
    RunSettingsValues values;
    values.period = readUpdatePeriod(paths.tarvikIni);
    values.runSettingsFile = runSettingsFilePath(paths);
    values.searchPattern = readSearchPattern(paths.tarvikIni);
    values.createDate =
        readProfileString(kSectionSendFile, kKeyCreateDate, "", kValueCapacity, paths.tarvikIni);
    values.createDate.resize(std::min(values.createDate.size(), kCreateDateMaxLength));
    values.fileType = atoiText(readProfileString(kSectionType, kKeyFileType, kDefaultFileType,
                                                 kValueCapacity, paths.tarvikIni));
    values.scales = readRunScaleList(paths.tarvikIni);
    return values;
}

} // namespace ostrel
