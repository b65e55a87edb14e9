// ostrel --once: one "Direct Download" in the foreground, its summary, and an exit status.
#include "app/HeadlessProgram.h"
#include "app/OstrelProgram.h"
#include "app/ProgramModes.h"
#include "app/SignalQuitter.h"
#include "app/SingleInstance.h"
#include "engine/ReadingWarnings.h"
#include "engine/RunResultFile.h"
#include "eventloop/EventLoopCalls.h"
#include "platform/Documents.h"
#include "platform/Trace.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <optional>

namespace ostrel {
namespace {

void printSummary(const RunSummary& summary)
{
    std::printf("Run %s: %zu file(s), %d line(s)\n", summary.stamp.c_str(), summary.files.size(),
                summary.lines);
    for (std::size_t i = 0; i < summary.files.size(); ++i) {
        if (i >= summary.fileReadings.size()) {
            std::printf("  file %s\n", summary.files[i].c_str());
            continue;
        }
        const RunSummary::FileReading& reading = summary.fileReadings[i];
        std::printf("  file %s, read as %s (%s)\n", summary.files[i].c_str(),
                    reading.encoding.c_str(), reading.encodingReason.c_str());
        if (reading.unmappedCharacters > 0) {
            std::printf("    warning: %s\n",
                        unmappedText(static_cast<std::size_t>(reading.unmappedCharacters),
                                     reading.codePage, reading.firstUnmappedLine)
                            .c_str());
        }
        if (reading.partialReads > 0) {
            std::printf("    warning: %s\n",
                        partialReadText(reading.partialReads, reading.firstPartialRead).c_str());
        }
    }
    if (summary.linesSkipped > 0) {
        std::printf("  %d bad line(s) skipped while reading\n", summary.linesSkipped);
    }
    for (const auto& scale : summary.scales) {
        const std::string result = scale.nothingDue  ? "up to date"
                                   : scale.succeeded ? "SUCCESS"
                                   : scale.reached   ? "FAILED"
                                   : scale.notTried.empty()
                                       ? "FAILED (not reachable)"
                                       : "FAILED (not tried: " + scale.notTried + ")";
        std::printf("  scale %s (%s): %s, %d line(s) accepted", scale.ipText.c_str(),
                    scale.name.c_str(), result.c_str(), scale.linesAccepted);
        if (scale.linesSkipped > 0) {
            std::printf(", %d skipped", scale.linesSkipped);
        }
        if (!scale.reason.empty() && scale.notTried.empty()) {
            std::printf(": %s", scale.reason.c_str());
        }
        std::printf("\n");
    }
    for (const auto& catchUp : summary.catchUps) {
        std::printf("  catch-up %s to %s: lines %d-%d\n", catchUp.file.c_str(),
                    catchUp.ipText.c_str(), catchUp.firstLine, catchUp.lastLine);
    }
    for (const std::string& file : summary.catchUpsGone) {
        std::printf("  catch-up impossible, gone: %s\n", file.c_str());
    }
    for (const std::string& file : summary.backedUp) {
        std::printf("  backed up %s\n", file.c_str());
    }
    for (const auto& failure : summary.backupFailures) {
        std::printf("  backup failed %s: %s\n", failure.file.c_str(), failure.reason.c_str());
    }
    for (const std::string& file : summary.keptForNextRun) {
        std::printf(summary.interrupted
                        ? "  kept for the next run %s\n"
                        : "  kept for the next run (unread, or changed while sending) %s\n",
                    file.c_str());
    }
    std::fflush(stdout);
}

} // namespace

int runOnce(bool json, int& argc, char** argv)
{
    // With --json stdout holds the document alone; the other words go to stderr.
    FILE* words = json ? stderr : stdout;
    QCoreApplication app(argc, argv);
    InstanceServer instance(InstancePaths::forCurrentUser());
    HeadlessProgram* program = nullptr;
    // A one-off run ends by itself; a script that asks it to exit learns why it will not.
    const auto refused = takeForegroundInstance(
        instance,
        [&](const InstanceMessage& message) {
            if (program != nullptr && message.kind == InstanceMessage::Kind::CopyData) {
                program->controller().onCopyData(message.code);
            }
        },
        "ask it with 'ostrel --send run'");
    if (refused) {
        return *refused;
    }

    const SettingsPaths paths = SettingsPaths::fromDocuments(GetPathDocuments());
    if (!settingsFileUsable(paths)) {
        return kExitSettingsError;
    }

    // Outlive the program: its library thread may hand over a summary until it stops.
    std::optional<RunSummary> finished;
    EventLoopCalls toEventLoop;
    HeadlessProgram once(paths);
    bool interrupted = false;
    // The first signal lets the records in flight finish and ends the run with its log lines;
    // a second one ends the program at once.
    SignalQuitter quitter([&] {
        if (!interrupted && once.controller().requestStop()) {
            interrupted = true;
            trace("stopping after the records in flight");
            return;
        }
        interrupted = true;
        app.quit();
    });
    once.controller().setRunFinishedHandler([&](const RunSummary& summary) {
        // May come from the scale library's thread: hand it to the event loop.
        toEventLoop.post([&app, &finished, summary] {
            finished = summary;
            app.quit();
        });
    });
    program = &once;
    once.controller().startUp();
    QCoreApplication::processEvents(); // a run that ended at once has posted its summary
    if (const auto waitMs = once.controller().settleWaitMs();
        !finished && !once.controller().runBusy() && waitMs > 0) {
        // A file still being written: wait the rest of its settle time once, then look again.
        std::fprintf(words, "Waiting %lld ms for a data file still being written.\n",
                     static_cast<long long>(waitMs));
        std::fflush(words);
        QEventLoop settle;
        QTimer::singleShot(static_cast<int>(waitMs), &settle, &QEventLoop::quit);
        settle.exec();
        // The timer may have run it, or a signal ended the wait.
        if (!finished && !interrupted && !once.controller().runBusy()) {
            once.controller().onTimerTick();
            QCoreApplication::processEvents();
        }
    }
    if (once.controller().scaleCount() == 0 && !once.controller().runBusy()) {
        program = nullptr;
        return kExitSettingsError;
    }
    // A run that has just ended may not have posted its summary yet; waiting for the
    // handing-over too keeps a failed run from being reported as "No new data file".
    if (!finished && once.controller().runOrReportBusy()) {
        app.exec();
    }
    program = nullptr;
    if (finished && json) {
        std::fputs(runResultJson(*finished).c_str(), stdout);
        std::fflush(stdout);
    } else if (finished) {
        printSummary(*finished);
    }
    if (interrupted || (finished && finished->interrupted)) {
        std::fprintf(words, "interrupted\n");
        std::fflush(words);
        return kExitScaleFailed;
    }
    if (!once.controller().settingsError().empty()) {
        return kExitSettingsError; // the message said what is wrong
    }
    if (!finished) {
        std::fputs(once.controller().settleWaitMs() > 0
                       ? "A data file is still being written: left for the next run.\n"
                       : "No new data file.\n",
                   words);
        return kExitOk;
    }
    for (const auto& scale : finished->scales) {
        if (!scale.succeeded) {
            return kExitScaleFailed;
        }
    }
    return kExitOk;
}

} // namespace ostrel
