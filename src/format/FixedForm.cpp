#include "format/FixedForm.h"

#include "format/ImportFormat.h"
#include "format/LayoutKeys.h"
#include "settings/ProfileBatch.h"
#include "settings/TarvikKeys.h"

#include <array>

namespace ostrel {

SaveOutcome saveFixedFormat(const SettingsPaths& paths, const PathTexts& pathTexts,
                            const std::vector<FixedFieldDef>& rows, std::string_view startRow,
                            MessageSink& messages)
{
    using namespace tarvik;
    // Each step is written before the next one starts, as a stopped Save leaves them.
    if (!writePathKeys(paths.tarvikIni, pathTexts.folder, pathTexts.prefix, pathTexts.extension) ||
        !writePrsFile(paths.prsFile, rows) || !writeFileType(paths.tarvikIni, kFixedType)) {
        return reportSave(SaveOutcome::WriteFailed, messages);
    }
    if (startRow.empty()) {
        return reportSave(SaveOutcome::CheckData, messages);
    }
    ProfileBatchWriter ini(paths.tarvikIni);
    ini.write(kSectionStartRow, kKeyStartRow, startRow);
    if (!ini.commit()) {
        return reportSave(SaveOutcome::WriteFailed, messages);
    }
    return reportSave(SaveOutcome::Saved, messages);
}

bool requiredFixedFieldsDefined(const std::vector<FixedFieldDef>& rows)
{
    constexpr std::array<std::string_view, 3> kRequired = {"Dept", "PLU No", "Comm. Name(1)"};
    for (const FixedFieldDef& row : rows) {
        for (const std::string_view name : kRequired) {
            if (row.name == name && row.defined != 1) {
                return false;
            }
        }
    }
    return true;
}

} // namespace ostrel
