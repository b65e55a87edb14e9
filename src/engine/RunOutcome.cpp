#include "engine/RunOutcome.h"

#include "engine/RunResultFile.h"
#include "platform/CodePage.h"
#include "platform/IniFile.h"

#include <algorithm>
#include <cctype>

namespace ostrel {

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
    if (text.empty() && summary.interrupted) {
        text = "The run was stopped; the files stay for the next run.";
    }
    return text;
}

bool notifyOnFailure(const std::string& tarvikIni)
{
    std::string value = readProfileString("NOTIFY", "On Failure", "1", 16, tarvikIni);
    std::transform(value.begin(), value.end(), value.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return value != "0" && value != "no" && value != "off" && value != "false";
}

} // namespace ostrel
