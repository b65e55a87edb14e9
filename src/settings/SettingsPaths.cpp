#include "settings/SettingsPaths.h"

#include "platform/FileSystem.h"

#include <utility>

namespace ostrel {

SettingsPaths SettingsPaths::fromDocuments(std::string documents)
{
    SettingsPaths paths;
    paths.productFolder = concatPath(documents, kProductRelative);
    paths.configFolder = concatPath(documents, kConfigRelative);
    paths.logFolder = concatPath(documents, kLogFolderRelative);
    paths.tarvikIni = concatPath(documents, kTarvikIniRelative);
    paths.pluIdIni = concatPath(documents, kPluIdIniRelative);
    paths.structFile = concatPath(documents, kStructFileRelative);
    paths.prsFile = concatPath(documents, kPrsFileRelative);
    paths.dataOptionIni = concatPath(documents, kDataOptionRelative);
    paths.rulesFile = concatPath(documents, kRulesFileRelative);
    paths.logFile = concatPath(documents, kLogFileRelative);
    paths.documents = std::move(documents);
    return paths;
}

} // namespace ostrel
