// The result of the last run as a JSON document (Log/last-run.json): its writing, atomically,
// when a run ends, and its reading for `ostrel --status`. docs/run-result.md describes it.
#pragma once

#include "engine/RunSummary.h"

#include <chrono>
#include <string>
#include <vector>

namespace ostrel {

inline constexpr const char* kRunResultFileName = "last-run.json";
inline constexpr int kRunResultFormat = 1;

// The document; texts of the settings are converted from the code page to UTF-8.
std::string runResultJson(const RunSummary& summary);
// Replaces `path` atomically; false with `error` set when it cannot.
bool writeRunResult(const std::string& path, const RunSummary& summary, std::string* error);

// The files of "catchUpsPending" in a result document; empty for a document without them.
std::vector<std::string> pendingCatchUpFiles(const std::string& json);

// "success", "failed", "unreachable" or "skipped-duplicate".
std::string scaleResultName(const RunSummary::ScaleResult& scale);
// Every scale succeeded or had everything already, the run was not stopped, no file was left
// unsent while still being written, and no journal was lost or failed.
bool runSucceeded(const RunSummary& summary);

// A few lines about the run in a result document, and whether it succeeded.
struct RunStatus
{
    bool readable = false; // false: `text` says why
    bool succeeded = false;
    std::string text;
};
RunStatus describeRunResult(const std::string& json);

// "2026-12-09T14:02:31+01:00".
std::string isoLocalTime(std::chrono::system_clock::time_point time);
// Why a reachability check said no after `waited`: refused at once, or the time limit ran out.
std::string unreachableReason(std::chrono::milliseconds waited);

} // namespace ostrel
