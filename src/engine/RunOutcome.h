// What the desktop program tells the user about a finished run: the tooltip's line, the text of
// the failure notification, and whether Tarvik.ini wants that notification.
#pragma once

#include "engine/RunSummary.h"

#include <string>

namespace ostrel {

// "Last run 14:02 — 3 of 4 scales OK" (UTF-8).
std::string lastRunLine(const RunSummary& summary);
// One line per scale that did not succeed, "NAME (IP:PORT): reason"; "" when none failed.
std::string failureNotice(const RunSummary& summary);
// [NOTIFY] "On Failure": on unless it says 0, no, off or false.
bool notifyOnFailure(const std::string& tarvikIni);

} // namespace ostrel
