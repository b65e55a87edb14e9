#include "engine/JournalRecovery.h"

#include "engine/RunResultFile.h"
#include "platform/FileSystem.h"
#include "platform/Trace.h"

#include <cstdio>
#include <ctime>

namespace ostrel {
namespace {

constexpr std::size_t kFilesNamed = 10;

std::string timeStamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &local);
    return text;
}

// The damaged file and its write-ahead log under a name no later start touches.
std::string setAside(const std::string& path, std::string* error)
{
    const std::string base = path + ".damaged-" + timeStamp();
    std::string target = base;
    for (int suffix = 1; entryExists(target); ++suffix) {
        target = base + "_" + std::to_string(suffix);
    }
    if (renameNoReplace(path, target, error) != RenameResult::Renamed) {
        return {};
    }
    // A log left beside a new database would be applied to it.
    for (const char* part : {"-wal", "-shm"}) {
        if (entryExists(path + part)) {
            renameNoReplace(path + part, target + part);
        }
    }
    return target;
}

// The data files whose lines some scale may still lack: those the last run left owed, else
// every backup of the data files.
std::string owedFiles(const std::string& runResultPath, const std::string& searchPattern)
{
    std::vector<std::string> files;
    if (const auto json = readWholeFile(runResultPath)) {
        files = pendingCatchUpFiles(*json);
    }
    if (files.empty() && !searchPattern.empty()) {
        const auto star = searchPattern.rfind("*.");
        for (auto& found : findFiles(searchPattern.substr(0, star) + "*_*.bak")) {
            files.push_back(std::move(found.path));
        }
    }
    if (files.empty()) {
        return "No backup of a data file was found.";
    }
    std::string text = "Scales may lack lines of: ";
    for (std::size_t i = 0; i < files.size() && i < kFilesNamed; ++i) {
        text += (i == 0 ? "" : ", ") + files[i];
    }
    if (files.size() > kFilesNamed) {
        text += " and " + std::to_string(files.size() - kFilesNamed) + " more";
    }
    return text + ". Send one again with 'ostrel --resend FILE'.";
}

} // namespace

JournalOpening openDeliveryJournal(const std::string& journalPath, const std::string& runResultPath,
                                   const std::string& searchPattern)
{
    JournalOpening opening;
    const bool existed = entryExists(journalPath);
    bool damaged = false;
    opening.journal = DeliveryJournal::open(journalPath, &opening.error, &damaged);
    if (!opening.journal && damaged) {
        std::string why;
        const std::string aside = setAside(journalPath, &why);
        if (aside.empty()) {
            opening.error += "; it cannot be set aside: " + why;
            return opening;
        }
        const std::string damage = opening.error;
        opening.journal = DeliveryJournal::open(journalPath, &opening.error);
        opening.notice = "The delivery journal " + journalPath + " was damaged (" + damage +
                         ") and was set aside as " + aside + "; a new one was started. " +
                         owedFiles(runResultPath, searchPattern);
    } else if (opening.journal && !existed) {
        if (const auto json = readWholeFile(runResultPath);
            json && !pendingCatchUpFiles(*json).empty()) {
            opening.notice = "The delivery journal " + journalPath +
                             " was missing although the last run left lines owed; a new one "
                             "was started. " +
                             owedFiles(runResultPath, searchPattern);
        }
    }
    if (!opening.notice.empty()) {
        trace(opening.notice);
    }
    return opening;
}

} // namespace ostrel
