// What the desktop program tells the user about a run: the progress window's lines while it
// goes on, the tooltip's line and the failure notification's text once it has ended, and
// whether Tarvik.ini wants that notification.
#pragma once

#include "engine/RunSummary.h"

#include <cstddef>
#include <string>
#include <vector>

namespace ostrel {

// "Last run 14:02 — 3 of 4 scales OK" (UTF-8).
std::string lastRunLine(const RunSummary& summary);
// One line per scale that did not succeed, "NAME (IP:PORT): reason", then one line per warning
// of the reading ("PLU.TXT: 2 lines with a number read only in part (first: ...)"), the lines
// set aside, the files left while still being written and a journal's loss or failure; ""
// when there is nothing to tell.
std::string failureNotice(const RunSummary& summary);
// The reading warned about a file: the run sent values the shop should look at.
bool runHasWarnings(const RunSummary& summary);
// The lines the progress window shows below its status while a run goes on (UTF-8): the
// run's files with their line counts, then one line per scale with its records so far. At
// most `maxScales` scales get a line of their own; the rest share one.
std::vector<std::string> progressLines(const RunSummary& run, std::size_t maxScales = 8);
// Why a Direct Download sent nothing, as the tray says it (UTF-8). `detail`: the search
// pattern for NothingNew, the file for StillBeingWritten.
enum class NoRunReason
{
    NothingNew,
    NoPattern,
    StillBeingWritten,
    WindowOpen,
    Busy
};
std::string noRunText(NoRunReason reason, const std::string& detail);
// [NOTIFY] "On Failure": on unless it says 0, no, off or false. It switches every
// notification: with it off, a Direct Download answers with the icon's state alone.
bool notifyOnFailure(const std::string& tarvikIni);

} // namespace ostrel
