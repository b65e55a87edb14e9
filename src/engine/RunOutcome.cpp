#include "engine/RunOutcome.h"

#include "engine/ReadingWarnings.h"
#include "engine/RunResultFile.h"
#include "platform/CodePage.h"
#include "platform/IniFile.h"

#include <algorithm>
#include <cctype>

namespace ostrel {

namespace {

std::string baseName(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return codePageToUtf8(slash == std::string::npos ? path : path.substr(slash + 1));
}

} // namespace

std::string lastRunLine(const RunSummary& summary)
{
    int ok = 0;
    for (const auto& scale : summary.scales) {
        ok += scale.succeeded ? 1 : 0;
    }
    // "2026-12-09T14:02:40+01:00": the hour and minute are at 11.
    const std::string time = summary.endTime.size() >= 16 ? summary.endTime.substr(11, 5) : "";
    std::string line = "Last run " + time + " \u2014 ";
    if (summary.interrupted) {
        line += "stopped, ";
    }
    return line + std::to_string(ok) + " of " + std::to_string(summary.scales.size()) +
           (summary.scales.size() == 1 ? " scale OK" : " scales OK");
}

std::string failureNotice(const RunSummary& summary)
{
    std::string text;
    for (const auto& scale : summary.scales) {
        if (scale.succeeded) {
            continue;
        }
        if (!text.empty()) {
            text += "\n";
        }
        text +=
            codePageToUtf8(scale.name) + " (" + scale.ipText + ":" + std::to_string(scale.port) +
            "): " + (scale.reason.empty() ? scaleResultName(scale) : codePageToUtf8(scale.reason));
    }
    const auto add = [&text](const std::string& line) {
        text += (text.empty() ? "" : "\n") + line;
    };
    for (const auto& line : summary.linesSetAside) {
        add("Line " + std::to_string(line.line) + " of " + baseName(line.file) + " set aside for " +
            line.ipText + " (" + codePageToUtf8(line.reason) + ")");
    }
    for (const std::string& file : summary.stillBeingWritten) {
        add("Not sent, still being written: " + baseName(file));
    }
    for (const std::string* note : {&summary.journalFailure, &summary.journalNotice}) {
        if (!note->empty()) {
            add(codePageToUtf8(*note));
        }
    }
    if (text.empty() && summary.interrupted) {
        text = "The run was stopped; the files stay for the next run.";
    }
    for (const std::string& warning : readingWarnings(summary)) {
        if (!text.empty()) {
            text += "\n";
        }
        text += warning;
    }
    return text;
}

bool runHasWarnings(const RunSummary& summary)
{
    return !readingWarnings(summary).empty();
}

namespace {

std::string countOf(int count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string filesLine(const RunSummary& run)
{
    int lines = 0;
    for (const int count : run.fileLines) {
        lines += count;
    }
    const std::string total = countOf(lines, "line", "lines");
    if (run.files.size() == 1) {
        return "File " + baseName(run.files.front()) + ": " + total;
    }
    return std::to_string(run.files.size()) + " files, " + baseName(run.files.front()) + " to " +
           baseName(run.files.back()) + ": " + total;
}

// "3,600": the counts of a whole item master are read at a glance.
std::string grouped(int count)
{
    const std::string digits = std::to_string(count < 0 ? -count : count);
    std::string text = count < 0 ? "-" : "";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0) {
            text += ',';
        }
        text += digits[i];
    }
    return text;
}

std::string recordsSoFar(int accepted, int due, int skipped, int unchanged)
{
    const int toSend = due - unchanged;
    std::string text =
        grouped(accepted) + " of " + grouped(toSend) + (toSend == 1 ? " record" : " records");
    if (skipped > 0) {
        text += ", " + grouped(skipped) + " skipped";
    }
    if (unchanged > 0) {
        text += ", " + grouped(unchanged) + " unchanged";
    }
    return text;
}

std::string scaleProgressLine(const RunSummary::ScaleResult& scale)
{
    const std::string label = scale.name.empty() ? scale.ipText + ":" + std::to_string(scale.port)
                                                 : codePageToUtf8(scale.name);
    const std::string records =
        recordsSoFar(scale.linesAccepted, scale.linesDue, scale.linesSkipped, scale.linesUnchanged);
    if (!scale.finished) {
        return label + ": " + (scale.reached ? records : std::string("connecting"));
    }
    if (scale.succeeded) {
        return label + ": " + (scale.nothingDue ? std::string("nothing new") : records + ", done");
    }
    const std::string reason =
        scale.reason.empty() ? scaleResultName(scale) : codePageToUtf8(scale.reason);
    if (scale.linesAccepted == 0) {
        return label + ": failed (" + reason + ")";
    }
    return label + ": failed after " + records + " (" + reason + ")";
}

} // namespace

std::vector<std::string> progressLines(const RunSummary& run, std::size_t maxScales)
{
    std::vector<std::string> lines;
    if (!run.files.empty()) {
        lines.push_back(filesLine(run));
    }
    const std::size_t shown =
        run.scales.size() <= maxScales ? run.scales.size() : (maxScales == 0 ? 0 : maxScales - 1);
    for (std::size_t i = 0; i < shown; ++i) {
        lines.push_back(scaleProgressLine(run.scales[i]));
    }
    if (shown < run.scales.size()) {
        int accepted = 0;
        int due = 0;
        int skipped = 0;
        int unchanged = 0;
        for (std::size_t i = shown; i < run.scales.size(); ++i) {
            accepted += run.scales[i].linesAccepted;
            due += run.scales[i].linesDue;
            skipped += run.scales[i].linesSkipped;
            unchanged += run.scales[i].linesUnchanged;
        }
        lines.push_back(
            countOf(static_cast<int>(run.scales.size() - shown), "more scale", "more scales") +
            ": " + recordsSoFar(accepted, due, skipped, unchanged));
    }
    return lines;
}

std::string noRunText(NoRunReason reason, const std::string& detail)
{
    switch (reason) {
    case NoRunReason::NothingNew:
        return "Nothing to send: no file newer than the last run matches " + codePageToUtf8(detail);
    case NoRunReason::NoPattern:
        return "Nothing to send: no PLU folder, prefix and extension are set (PLU File Setting)";
    case NoRunReason::StillBeingWritten:
        return "Not sent yet: " + baseName(detail) +
               " is still being written; it goes once it has settled";
    case NoRunReason::WindowOpen:
        return "Not sent: close the settings window first";
    case NoRunReason::Busy:
        return "A run is sending already";
    }
    return {};
}

bool notifyOnFailure(const std::string& tarvikIni)
{
    std::string value = readProfileString("NOTIFY", "On Failure", "1", 16, tarvikIni);
    std::transform(value.begin(), value.end(), value.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return value != "0" && value != "no" && value != "off" && value != "false";
}

} // namespace ostrel
