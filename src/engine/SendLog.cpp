#include "engine/SendLog.h"

#include <cstdio>
#include <memory>

#include <sys/stat.h>

namespace ostrel {

namespace {

struct FileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

std::string MakeRunStamp(const LocalTime& time)
{
    char text[80];
    std::snprintf(text, sizeof text, "%d%02d%d%02d%02d%02d", time.year, time.month, time.day,
                  time.hour, time.minute, time.second);
    return text;
}

std::string MakeRunStamp(const Clock& clock)
{
    return MakeRunStamp(clock.now());
}

std::string backupName(std::string_view dataFilePath, std::string_view runStamp, int suffix)
{
    const auto slash = dataFilePath.find_last_of('/');
    const auto dot = dataFilePath.find_last_of('.');
    const bool dotInName =
        dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash);
    std::string name(dotInName ? dataFilePath.substr(0, dot) : dataFilePath);
    name.append("_").append(runStamp);
    if (suffix > 0) {
        name.append("_").append(std::to_string(suffix));
    }
    name.append(".bak");
    return name;
}

int WriteSendLog(const SendLogPaths& paths, std::span<const DataFileEntry> files,
                 std::string_view runStamp, std::string_view ipText, int result)
{
    if (result != kLogSuccess && result != kLogFailed) {
        return 0;
    }
    const std::string_view outcome = result == kLogSuccess ? " - SUCCESS\r\n" : " - FAILED\r\n";
    std::string lines;
    for (const auto& file : files) {
        lines.append(runStamp).append(" : ").append(file.path).append(" : ").append(ipText);
        lines.append(outcome);
    }
    if (lines.empty()) {
        return 0;
    }
    ::mkdir(paths.logFolder.c_str(), 0777); // one level; the folders above must exist
    rotateLogBeforeWrite(paths.logFile, lines.size(), paths.rotateAt);
    std::unique_ptr<std::FILE, FileCloser> log(std::fopen(paths.logFile.c_str(), "ab"));
    if (!log) {
        return 0;
    }
    // One write, so lines of one call are not interleaved with another writer's.
    if (std::fwrite(lines.data(), 1, lines.size(), log.get()) != lines.size()) {
        return 0;
    }
    return static_cast<int>(files.size());
}

BackupOutcome backupDataFile(const DataFileEntry& file, std::string_view runStamp)
{
    if (file.readStamp && fileStamp(file.path) != file.readStamp) {
        return {"", "changed while sending"};
    }
    // Enough for every run of a second; beyond that something else is wrong.
    constexpr int kMaxSuffix = 999;
    for (int suffix = 0; suffix <= kMaxSuffix; ++suffix) {
        const std::string name = backupName(file.path, runStamp, suffix);
        std::string error;
        switch (renameNoReplace(file.path, name, &error)) {
        case RenameResult::Renamed:
            return {name, ""};
        case RenameResult::TargetExists:
            continue;
        case RenameResult::Failed:
            return {"", error};
        }
    }
    return {"", "every backup name is taken"};
}

int BackupDataFiles(std::span<const DataFileEntry> files, std::string_view runStamp)
{
    int renamed = 0;
    for (const auto& file : files) {
        if (!backupDataFile(file, runStamp).backup.empty()) {
            ++renamed;
        }
    }
    return renamed;
}

} // namespace ostrel
