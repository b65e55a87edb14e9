#include "engine/DataOption.h"

#include "platform/FileSystem.h"
#include "platform/IniFile.h"

#include <algorithm>

namespace ostrel {

std::string dataOptionSection(const std::string& dataOptionIniPath)
{
    std::string models =
        readProfileString("FILE_INFO", "MODEL_LIST", "7100", 10, dataOptionIniPath);
    models.erase(std::remove(models.begin(), models.end(), ','), models.end());
    return "PLU_STRUCTURE_" + models;
}

int PrepareDataOption(const ImportFormat& format, const std::string& dataOptionIniPath,
                      const std::function<void(const std::string&)>& setDataOptionFilePath)
{
    if (format.fileType != kFixedType) {
        return 0;
    }
    const std::string section = dataOptionSection(dataOptionIniPath);
    // All keys go in with one file replacement instead of one per key.
    const auto original = readWholeFile(dataOptionIniPath);
    std::string text = original.value_or(std::string());
    for (const auto& field : format.fixedFields) {
        const std::string key = "PLU_FIELD" + std::to_string(field.fieldNumber) + "_LEVEL";
        const bool supplied = field.start >= 0 && field.length > 0;
        text = applyProfileWrite(text, section, key, supplied ? "1" : "0");
    }
    int result = 1;
    if (!original || text != *original) {
        result = writeFileAtomically(dataOptionIniPath, text) ? 1 : 0;
    }
    if (setDataOptionFilePath) {
        setDataOptionFilePath(dataOptionIniPath);
    }
    return result;
}

} // namespace ostrel
