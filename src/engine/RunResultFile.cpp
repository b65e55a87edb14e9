#include "engine/RunResultFile.h"

#include "platform/CodePage.h"
#include "platform/FileSystem.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace ostrel {

namespace {

using Json = nlohmann::ordered_json;

// A refusal comes back within a few milliseconds; anything near a second is a timeout.
constexpr std::chrono::milliseconds kQuickRefusal{900};

Json stringList(const std::vector<std::string>& texts)
{
    Json list = Json::array();
    for (const std::string& text : texts) {
        list.push_back(text);
    }
    return list;
}

Json scaleJson(const RunSummary::ScaleResult& scale)
{
    return Json{
        {"address", scale.ipText},
        {"port", scale.port},
        {"name", codePageToUtf8(scale.name)},
        {"model", codePageToUtf8(scale.model)},
        {"result", scaleResultName(scale)},
        {"recordsAccepted", scale.linesAccepted},
        {"linesSkipped", scale.linesSkipped},
        {"linesUnchanged", scale.linesUnchanged},
        {"fullSend", scale.fullSend},
        {"refusals", scale.refusals},
        {"reason", codePageToUtf8(scale.reason)},
    };
}

std::string text(const Json& object, const char* key)
{
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

int number(const Json& object, const char* key)
{
    const auto it = object.find(key);
    return it != object.end() && it->is_number_integer() ? it->get<int>() : 0;
}

} // namespace

std::string scaleResultName(const RunSummary::ScaleResult& scale)
{
    if (scale.nothingDue) {
        return "skipped-duplicate";
    }
    if (scale.succeeded) {
        return "success";
    }
    if (!scale.reached && scale.notTried.empty()) {
        return "unreachable";
    }
    return "failed";
}

bool runSucceeded(const RunSummary& summary)
{
    if (summary.interrupted || !summary.stillBeingWritten.empty() ||
        !summary.journalNotice.empty() || !summary.journalFailure.empty()) {
        return false;
    }
    for (const auto& scale : summary.scales) {
        if (!scale.succeeded) {
            return false;
        }
    }
    return true;
}

std::string runResultJson(const RunSummary& summary)
{
    Json files = Json::array();
    for (std::size_t i = 0; i < summary.files.size(); ++i) {
        Json file{{"path", summary.files[i]},
                  {"lines", i < summary.fileLines.size() ? summary.fileLines[i] : 0}};
        if (i < summary.fileReadings.size()) {
            const RunSummary::FileReading& reading = summary.fileReadings[i];
            file["encoding"] = reading.encoding;
            file["encodingReason"] = reading.encodingReason;
            file["charactersReplaced"] = reading.unmappedCharacters;
            file["firstReplacedLine"] = reading.firstUnmappedLine;
            file["partialReads"] = reading.partialReads;
            file["firstPartialRead"] = reading.firstPartialRead;
        }
        files.push_back(std::move(file));
    }
    Json scales = Json::array();
    for (const auto& scale : summary.scales) {
        scales.push_back(scaleJson(scale));
    }
    Json catchUps = Json::array();
    for (const auto& catchUp : summary.catchUps) {
        catchUps.push_back({{"file", catchUp.file},
                            {"address", catchUp.ipText},
                            {"firstLine", catchUp.firstLine},
                            {"lastLine", catchUp.lastLine}});
    }
    Json backupFailures = Json::array();
    for (const auto& failure : summary.backupFailures) {
        backupFailures.push_back({{"file", failure.file}, {"reason", failure.reason}});
    }
    Json setAside = Json::array();
    for (const auto& line : summary.linesSetAside) {
        setAside.push_back({{"file", line.file},
                            {"address", line.ipText},
                            {"line", line.line},
                            {"reason", line.reason}});
    }
    Json owed = Json::array();
    for (const auto& file : summary.catchUpsPending) {
        owed.push_back({{"file", file.file}, {"scales", stringList(file.scales)}});
    }
    const Json document{
        {"format", kRunResultFormat},
        {"stamp", summary.stamp},
        {"trigger", summary.trigger},
        {"start", summary.startTime},
        {"end", summary.endTime},
        {"succeeded", runSucceeded(summary)},
        {"interrupted", summary.interrupted},
        {"lines", summary.lines},
        {"linesSkipped", summary.linesSkipped},
        {"files", files},
        {"scales", scales},
        {"catchUps", catchUps},
        {"catchUpsGone", stringList(summary.catchUpsGone)},
        {"backedUp", stringList(summary.backedUp)},
        {"keptForNextRun", stringList(summary.keptForNextRun)},
        {"backupFailures", backupFailures},
        {"linesSetAside", setAside},
        {"catchUpsPending", owed},
        {"stillBeingWritten", stringList(summary.stillBeingWritten)},
        {"filesWaiting", summary.filesWaiting},
        {"journalNotice", summary.journalNotice},
        {"journalFailure", summary.journalFailure},
        {"resend", summary.resend},
    };
    // File names are bytes: one that is not UTF-8 must not cost the shop its result.
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

bool writeRunResult(const std::string& path, const RunSummary& summary, std::string* error)
{
    if (writeFileAtomically(path, runResultJson(summary))) {
        if (error != nullptr) {
            error->clear();
        }
        return true;
    }
    if (error != nullptr) {
        *error = std::strerror(errno);
    }
    return false;
}

std::vector<std::string> pendingCatchUpFiles(const std::string& json)
{
    std::vector<std::string> files;
    const Json document = Json::parse(json, nullptr, false);
    if (!document.is_object()) {
        return files;
    }
    const auto owed = document.find("catchUpsPending");
    if (owed == document.end() || !owed->is_array()) {
        return files;
    }
    for (const Json& entry : *owed) {
        if (entry.is_object() && !text(entry, "file").empty()) {
            files.push_back(text(entry, "file"));
        }
    }
    return files;
}

RunStatus describeRunResult(const std::string& json)
{
    RunStatus status;
    const Json document = Json::parse(json, nullptr, false);
    if (document.is_discarded() || !document.is_object()) {
        status.text = "the run result is not valid JSON";
        return status;
    }
    status.readable = true;
    const auto succeeded = document.find("succeeded");
    status.succeeded =
        succeeded != document.end() && succeeded->is_boolean() && succeeded->get<bool>();
    const auto files = document.find("files");
    const auto scales = document.find("scales");
    const std::size_t fileCount = files != document.end() && files->is_array() ? files->size() : 0;
    int ok = 0;
    int total = 0;
    std::string scaleLines;
    if (scales != document.end() && scales->is_array()) {
        for (const Json& scale : *scales) {
            if (!scale.is_object()) {
                continue;
            }
            ++total;
            const std::string result = text(scale, "result");
            ok += result == "success" || result == "skipped-duplicate" ? 1 : 0;
            scaleLines += "  " + text(scale, "address") + ":" +
                          std::to_string(number(scale, "port")) + " (" + text(scale, "name") +
                          "): " + result + ", " + std::to_string(number(scale, "recordsAccepted")) +
                          " record(s) accepted";
            const std::string reason = text(scale, "reason");
            if (!reason.empty()) {
                scaleLines += " - " + reason;
            }
            scaleLines += "\n";
        }
    }
    const auto interrupted = document.find("interrupted");
    const bool wasInterrupted =
        interrupted != document.end() && interrupted->is_boolean() && interrupted->get<bool>();
    status.text = "Last run " + text(document, "stamp") + " (" + text(document, "trigger") +
                  "), ended " + text(document, "end") + ": " +
                  (status.succeeded ? "succeeded"
                   : wasInterrupted ? "interrupted"
                                    : "FAILED") +
                  "\n  " + std::to_string(fileCount) + " file(s), " +
                  std::to_string(number(document, "lines")) + " line(s), " + std::to_string(ok) +
                  " of " + std::to_string(total) + " scale(s) OK\n" + scaleLines;
    if (const auto setAside = document.find("linesSetAside");
        setAside != document.end() && setAside->is_array()) {
        for (const Json& line : *setAside) {
            if (line.is_object()) {
                status.text += "  set aside: line " + std::to_string(number(line, "line")) +
                               " of " + text(line, "file") + " for " + text(line, "address") +
                               " (" + text(line, "reason") + ")\n";
            }
        }
    }
    for (const char* key : {"journalFailure", "journalNotice"}) {
        if (const std::string note = text(document, key); !note.empty()) {
            status.text += "  " + note + "\n";
        }
    }
    return status;
}

std::string isoLocalTime(std::chrono::system_clock::time_point time)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm local{};
    localtime_r(&seconds, &local);
    char buffer[40];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%S%z", &local);
    std::string result(buffer);
    if (result.size() >= 5) {
        result.insert(result.size() - 2, ":"); // +0100 -> +01:00, as ISO 8601 writes it
    }
    return result;
}

std::string unreachableReason(std::chrono::milliseconds waited)
{
    if (waited < kQuickRefusal) {
        return "connection refused";
    }
    const auto seconds = (waited.count() + 500) / 1000;
    return "no reply within " + std::to_string(seconds) + " s";
}

} // namespace ostrel
