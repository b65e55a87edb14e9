#include "engine/PreviewSettings.h"

#include "engine/LayoutCheck.h"
#include "engine/RunSettings.h"
#include "format/ImportFormatLoader.h"
#include "platform/IniFile.h"
#include "settings/SettingsProblems.h"
#include "settings/TarvikKeys.h"

namespace ostrel {

std::string loadPreviewLayout(const SettingsPaths& paths, MessageSink& messages,
                              PreviewLayout& layout, std::vector<std::string>* files)
{
    using namespace tarvik;
    if (std::string problem = tarvikIniProblem(paths.tarvikIni); !problem.empty()) {
        return problem;
    }
    const LoadedRunSettings loaded = readRunSettings(paths);
    if (!loaded.fileFound) {
        return "There is no settings file " + paths.tarvikIni + ".";
    }
    const std::string decimals =
        readProfileString(kSectionCycle, kKeyDecimalPoint, "", kValueCapacity, paths.tarvikIni);
    if (std::string problem = decimalPointProblem(decimals); !problem.empty()) {
        return problem;
    }
    const std::string encoding = storedEncoding(paths.tarvikIni);
    if (std::string problem = encodingProblem(encoding); !problem.empty()) {
        return problem;
    }
    ImportFormatLoader loader(paths, messages);
    ImportFormat format = defaultImportFormat();
    loader.LoadImportFormat(format, loaded.settings.runSettingsFile);
    format.fileType = loaded.settings.fileType;
    if (std::string problem =
            layoutProblem(loaded.settings.fileType, format, paths.pluIdIni, paths.prsFile);
        !problem.empty()) {
        return problem;
    }
    layout.format = format;
    layout.startRow = readStartRow(paths.tarvikIni);
    layout.encoding = parseEncodingSetting(encoding).value_or(EncodingSetting::Auto);
    layout.decimals = decimalPlaces(decimals).value_or(0);
    layout.sources = {paths.pluIdIni, paths.rulesFile, loaded.settings.runSettingsFile};
    layout.fields = readPluFieldList(paths.structFile);
    if (files != nullptr) {
        for (const DataFileEntry& file : FindDataFiles(format.searchPattern)) {
            files->push_back(file.path);
        }
    }
    return {};
}

} // namespace ostrel
