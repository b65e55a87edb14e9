// The run's trace: the run stamp, the send log lines and the backup of sent data files.
#pragma once

#include "engine/LogRotation.h"
#include "format/DataFiles.h"
#include "platform/FileSystem.h"

#include <span>
#include <string>
#include <string_view>

namespace ostrel {

// The time source of run stamps, replaceable in tests.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual LocalTime now() const = 0;
};

class SystemClock final : public Clock
{
public:
    LocalTime now() const override { return localNow(); }
};

// "%d%02d%d%02d%02d%02d": the day without a leading zero, so 13 or 14 digits.
std::string MakeRunStamp(const LocalTime& time);
std::string MakeRunStamp(const Clock& clock);

// "<path without extension>_<stamp>.bak"; the extension is what follows the last dot of the
// file name. A `suffix` above 0 gives "<...>_<stamp>_<suffix>.bak", for a name already taken.
std::string backupName(std::string_view dataFilePath, std::string_view runStamp, int suffix = 0);

struct SendLogPaths
{
    std::string logFolder; // documents + /VEK/Ostrel/Log
    std::string logFile;   // documents + /VEK/Ostrel/Log/Ostrel.log
    std::uint64_t rotateAt = kLogRotateBytes;
};

inline constexpr int kLogFailed = 0;
inline constexpr int kLogSuccess = 1;

// One line per data file, "<stamp> : <path> : <ip> - SUCCESS|FAILED" CR LF, appended to the
// log (folder created, one level; rotated before it would pass `rotateAt`). Result 1 SUCCESS, 0
// FAILED, anything else writes nothing. Returns the number of lines written; failures are silent.
int WriteSendLog(const SendLogPaths& paths, std::span<const DataFileEntry> files,
                 std::string_view runStamp, std::string_view ipText, int result);

struct BackupOutcome
{
    std::string backup; // the name it got, empty when not renamed
    std::string error;  // why not, empty when renamed
};

// Renames one data file to its backup name; a name that exists already is never replaced, the
// next free "_1", "_2", ... is taken instead. A file rewritten since the run read it
// (readStamp differs) stays for the next run.
BackupOutcome backupDataFile(const DataFileEntry& file, std::string_view runStamp);

// backupDataFile for each file; returns the number renamed.
int BackupDataFiles(std::span<const DataFileEntry> files, std::string_view runStamp);

} // namespace ostrel
