#include "format/ImportFormatLoader.h"

#include "format/LayoutKeys.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "platform/Numbers.h"
#include "settings/ProfileBatch.h"
#include "settings/RunSettingsFile.h"
#include "settings/SearchPattern.h"
#include "settings/TarvikKeys.h"

#include <utility>

namespace ostrel {

ImportFormat defaultImportFormat()
{
    using namespace tarvik;
    ImportFormat format;
    format.fileType = atoiText(kDefaultFileType);
    format.textSettings = {{kTextSeparator, std::string(kDefaultSeparate)},
                           {kTextComment, std::string(kDefaultComment)},
                           {kTextQuote, ""},
                           {kTextEnd, ""}};
    return format;
}

ImportFormatLoader::ImportFormatLoader(SettingsPaths paths, MessageSink& messages)
    : m_paths(std::move(paths)), m_messages(messages), m_stored(kMaxPrsRecords)
{
}

void ImportFormatLoader::setStoredDefinitions(const std::vector<FixedFieldDef>& rows)
{
    for (std::size_t i = 0; i < rows.size() && i < m_stored.size(); ++i) {
        m_stored[i] = rows[i];
    }
}

bool ImportFormatLoader::LoadImportFormat(ImportFormat& format)
{
    return LoadImportFormat(format, runSettingsFilePath(m_paths));
}

bool ImportFormatLoader::LoadImportFormat(ImportFormat& format, const std::string& runSettingsFile)
{
    using namespace tarvik;
    if (!entryExists(runSettingsFile)) {
        return false;
    }

    const ProfileSnapshot tarvikIni(m_paths.tarvikIni);
    std::string pattern =
        buildSearchPattern(tarvikIni.read(kSectionPath, kKeyPluRoot, "", kValueCapacity),
                           tarvikIni.read(kSectionPath, kKeyPrefix, "", kValueCapacity),
                           tarvikIni.read(kSectionPath, kKeyExtension, "", kValueCapacity));
    // Also when it is empty: an emptied PATH key must stop discovery, not keep the old pattern.
    format.searchPattern = std::move(pattern);

    const ProfileSnapshot runIni(runSettingsFile);
    const auto read = [&runIni](std::string_view section, std::string_view key,
                                std::string_view defaultValue) {
        return runIni.read(section, key, defaultValue, kRunFormatCapacity);
    };
    format.textSettings.clear();
    format.fileType = atoiText(read(kSectionType, kKeyFileType, kDefaultFileType));
    const bool useTab = read(kSectionSeparate, kKeyUseTab, kDefaultUseTab) == "1";
    format.textSettings.push_back(
        {kTextSeparator,
         useTab ? std::string("\t") : read(kSectionSeparate, kKeySeparate, kDefaultSeparate)});
    format.textSettings.push_back(
        {kTextComment, read(kSectionSeparate, kKeyComment, kDefaultComment)});
    format.textSettings.push_back({kTextQuote, read(kSectionStartRow, kKeyStringSymbol, "")});
    format.textSettings.push_back({kTextEnd, read(kSectionStartRow, kKeyEndSymbol, "")});

    format.fixedFields.clear();
    m_fields = readPluFieldList(m_paths.structFile);
    if (const auto records = readPrsFile(m_paths.prsFile)) {
        setStoredDefinitions(*records);
    } else {
        m_messages.ShowMessage("File not found! : \"PLUPrs.prs\"", "Ostrel", MessageIcon::Warning,
                               MessageButtons::Ok);
    }
    for (std::size_t n = 0; n < m_fields.size(); ++n) {
        const FixedFieldDef& stored = m_stored[n];
        format.fixedFields.push_back({m_fields[n].number, stored.start, stored.length});
    }
    return true;
}

} // namespace ostrel
