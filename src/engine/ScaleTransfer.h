// A scale's transfer after its first record: the reply handling with its retry rules, the
// sending of further lines, and the two ends of a scale (done, failed). Every operation runs
// with the engine's lock held and calls only library operations that never wait for the
// library's thread (SendDataEx, Disconnect).
#pragma once

#include "engine/ActiveRun.h"
#include "engine/SendLog.h"
#include "protocol/ScaleBlocks.h"

#include <functional>
#include <string_view>

namespace ostrel {

class ProgressSink;
class ScaleLibrary;

// Resends of one refused line before the scale fails.
inline constexpr int kMaxResends = 3;
// Model 7100 may refuse one line this often (the last refusal fails the scale).
inline constexpr int kMaxRefusals7100 = 10;
inline constexpr int kFailRetriesUsed = 2;
inline constexpr int kFailConnection = 8;
// Why the journal holds a line as done without the scale having taken it.
inline constexpr std::string_view kSkipNoRecord = "no record (PLU 0 or no PLU number)";
inline constexpr std::string_view kSkipE88 = "refused with E88";

class ScaleTransfer final
{
public:
    ScaleTransfer(ScaleLibrary& library, ProgressSink& progress, SendLogPaths logPaths,
                  std::function<void()> finishRunIfDone);

    // The opening's first record: parses the scale's first due line that yields a record and
    // hands it to SendDataEx. Returns the library's result, or 0 when no due line yields one.
    int sendFirstLine(RunScale& scale, ActiveRun& run);

    // The reply callback's work for an update run.
    int handleReply(ActiveRun& run, const SendBlock& block);
    // Sends the scale's next line that yields a record; at the end of the lines the scale is
    // done. Returns SendDataEx's result, 0 when nothing was sent.
    int SendNextLine(ActiveRun& run, const SendBlock& block);
    // Kind 2 (resends used up) or 8 (connection event): FAILED lines, disconnect, maybe the
    // end of the run. Other kinds do nothing. Returns 0.
    int FailScale(ActiveRun& run, const SendBlock& block, int kind);
    // Disconnect for a scale of the run; 0 for an empty or unknown IP text.
    int DisconnectScale(ActiveRun& run, std::string_view ipText);

private:
    ScaleLibrary& m_library;
    ProgressSink& m_progress;
    SendLogPaths m_logPaths;
    std::function<void()> m_finishRunIfDone;
};

} // namespace ostrel
