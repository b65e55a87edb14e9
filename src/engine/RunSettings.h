// The run settings: what LoadRunSettings takes from Tarvik.ini (period, the run's settings
// file, search pattern, creation date, file type) and the registered scales as ScaleEntry rows,
// and HasNewDataFile, which decides whether a trigger starts a run.
#pragma once

#include "format/DataFiles.h"
#include "settings/SettingsPaths.h"
#include "settings/UpdatePeriod.h"

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

class MessageSink;
class SettingsHolder;
struct RunScaleRow;

// One registered scale as a run holds it, with its transfer state.
struct ScaleEntry
{
    int port = 0;
    int modelCode = 0;
    int version1 = 0;
    int version2 = 0;
    int version3 = 0;
    int version4 = 0;
    int nextLine = 0;   // index of the next line to send
    int retryCount = 0; // refusals of the current line
    bool succeeded = false;
    bool finished = false;
    std::array<char, 20> ipText{}; // zero-terminated; its address goes to the library
    std::string name;
    std::string modelName;

    const char* ip() const { return ipText.data(); }
};

ScaleEntry makeScaleEntry(const RunScaleRow& row);

// Why a run cannot contact this scale at all (a port outside 1 to 65535, an address that is
// not four decimal octets), "" when it can. Cutting such a port to 16 bits would reach
// another port.
std::string scaleEntryProblem(const ScaleEntry& entry);

struct RunSettings
{
    UpdatePeriod period;
    std::string runSettingsFile; // the file "CONFIG ROOT" names, else Tarvik.ini itself
    std::string searchPattern;
    std::string createDate; // [SENDFILE] CREATEDATE, at most 19 characters
    int fileType = 1;
    std::vector<ScaleEntry> scales;
};

inline constexpr std::string_view kNoScaleText =
    "There is no scale! Please register scales at Config Menu.";
inline constexpr std::string_view kNoScaleCaption = "Tarvik";

// LoadRunSettings without storing: the caller installs the result under its lock and shows
// the no-scale message outside it.
struct LoadedRunSettings
{
    bool fileFound = false; // false: keep what was loaded before
    RunSettings settings;
    int scaleCount = 0;
};
LoadedRunSettings readRunSettings(const SettingsPaths& paths);
// The warning shown when no scale is registered.
void showNoScaleMessage(MessageSink& messages);

// Whether a found file's last write (local time, "%Y%m%d%H%M%S") sorts after the creation
// date; an empty date makes every existing file new. Sets the holder's run mode to the update
// run, so that the library's replies drive runs again.
int HasNewDataFile(std::span<const DataFileEntry> files, std::string_view createDate,
                   SettingsHolder& holder);

} // namespace ostrel
