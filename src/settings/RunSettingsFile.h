// Which file a run reads its layout keys from ("CONFIG ROOT", relative to the product folder;
// without the key the run uses Tarvik.ini itself), and the run settings read in one go.
#pragma once

#include "settings/ScaleList.h"
#include "settings/SettingsPaths.h"
#include "settings/UpdatePeriod.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// Product folder + the stored value, resolved ignoring case and "\" separators (the value is
// often stored upper-cased, with Windows separators). A missing or empty value means Tarvik.ini
// itself.
std::string runSettingsFilePath(const SettingsPaths& paths);

// The configuration window's "Configuration File" field: product folder + the stored value.
std::string configFileFieldText(const SettingsPaths& paths);
// The value its Save stores: the field text with every occurrence of the product folder
// removed (compared ignoring case). The rest keeps its case: upper-casing would break the path
// on a case-sensitive file system.
std::string configRootForSave(std::string_view fieldText, const SettingsPaths& paths);

// Everything a run loads from Tarvik.ini besides the import format.
struct RunSettingsValues
{
    UpdatePeriod period;
    std::string runSettingsFile; // see runSettingsFilePath
    std::string searchPattern;   // "" unless PLU ROOT, PREFIX and EXTENTION are all set
    std::string createDate;      // [SENDFILE] CREATEDATE, at most 19 bytes
    int fileType = 1;            // [TYPE] FILETYPE, default 1
    std::vector<RunScaleRow> scales;
};

// nullopt when Tarvik.ini does not exist (the caller keeps what it loaded before).
std::optional<RunSettingsValues> readRunSettingsValues(const SettingsPaths& paths);

} // namespace ostrel
