// The configuration window's steps on Tarvik.ini: the texts its fields show when it loads,
// the stored choice of the update cycle list, Save in its order of partial writes, and the
// caption lookup with its escapes.
#pragma once

#include "settings/ScaleList.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

struct SettingsPaths;

// The texts of the window's own fields.
struct ConfigFormTexts
{
    std::string configFile;   // "Configuration File": <product folder> + "CONFIG ROOT"
    std::string cycle;        // "Update Cycle"
    std::string interval;     // "Update Interval"
    std::string decimalPoint; // "Decimal Point"
};

ConfigFormTexts loadConfigForm(const SettingsPaths& paths);

// The update cycle list in its order.
inline constexpr std::array<std::string_view, 3> kCycleItems{"minutes", "hours", "days"};

// The item the list selects: [CYCLE] "Update Cycle" (default "hours") matched ignoring case;
// -1 when no item matches, which leaves the box empty.
int storedCycleIndex(const std::string& tarvikIni);

// "CONFIG ROOT" as Save writes it: the field's text without every occurrence of the product
// folder, compared ignoring case. The rest keeps the user's case: folders are case-sensitive.
std::string configRootFromField(std::string_view fieldText, std::string_view productFolder);

enum class ConfigSaveOutcome
{
    NotSaved,  // field 1016 empty or naming nothing: no message, nothing written
    CheckData, // cycle or interval empty: "Check data!"; keys before it stay written
    Failed,    // a write failed (read-only file, folder gone): "Save Failed!"
    Completed  // "Save is completed!"
};

struct ConfigSaveResult
{
    ConfigSaveOutcome outcome = ConfigSaveOutcome::NotSaved;
    bool decimalPointWritten = false; // the holder takes the text once it is in the file
};

// Save in its order: CONFIG ROOT, Update Cycle, Update Interval, Decimal Point, the scale
// list. It stops at the first failed step; what was written stays written. `paths` are the
// program's: its documents folder is fixed when it starts (environment and XDG settings).
ConfigSaveResult saveConfigForm(const SettingsPaths& paths, const ConfigFormTexts& form,
                                const std::vector<ScaleListColumns>& rows);

// The caption file "<working folder>/config/<code>/config_<code>.cap".
std::string captionFilePath(std::string_view workingFolder, std::string_view languageCode);
// "\\" gives "\", "\n" a line feed, "\r" a carriage return, "\t" a tab; a backslash before
// anything else, or at the end, is dropped with that character.
std::string unescapeCaption(std::string_view text);
// The value of section/key in the caption file (default when absent), unescaped.
std::string captionLookup(std::string_view workingFolder, std::string_view languageCode,
                          std::string_view section, std::string_view key,
                          std::string_view defaultText);

} // namespace ostrel
