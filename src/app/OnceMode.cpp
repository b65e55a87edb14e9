// ostrel --once: one "Direct Download" in the foreground, its summary, and an exit status.
#include "app/DocumentsLock.h"
#include "app/HeadlessProgram.h"
#include "app/OstrelProgram.h"
#include "app/ProgramModes.h"
#include "app/SignalQuitter.h"
#include "app/SingleInstance.h"
#include "engine/FileSettle.h"
#include "engine/ReadingWarnings.h"
#include "engine/RunResultFile.h"
#include "eventloop/EventLoopCalls.h"
#include "platform/Documents.h"
#include "platform/Trace.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace ostrel {
namespace {

// Beyond the settle time: the writer check may hold a file a moment longer.
constexpr std::chrono::seconds kWriterCheckAllowance{1};

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
        if (scale.linesUnchanged > 0) {
            std::printf(", %d unchanged", scale.linesUnchanged);
        }
        if (scale.fullSend) {
            std::printf(" (full send)");
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
    for (const auto& line : summary.linesSetAside) {
        std::printf("  set aside line %d of %s for %s: %s\n", line.line, line.file.c_str(),
                    line.ipText.c_str(), line.reason.c_str());
    }
    const char* kept = summary.interrupted || !summary.journalFailure.empty()
                           ? "  kept for the next run %s\n"
                           : "  kept for the next run (unread, or changed while sending) %s\n";
    for (const std::string& file : summary.keptForNextRun) {
        std::printf(kept, file.c_str());
    }
    for (const std::string& file : summary.stillBeingWritten) {
        std::printf("  not sent, still being written: %s\n", file.c_str());
    }
    if (summary.filesWaiting > 0) {
        std::printf("  %zu more data file(s) wait: they go in the next run\n",
                    summary.filesWaiting);
    }
    for (const std::string* note : {&summary.journalFailure, &summary.journalNotice}) {
        if (!note->empty()) {
            std::printf("  %s\n", note->c_str());
        }
    }
    std::fflush(stdout);
}

// Runs the event loop until the run under way (if any) handed over its summary.
void awaitRun(QCoreApplication& app, const UpdateController& controller,
              const std::vector<RunSummary>& finished, std::size_t before)
{
    QCoreApplication::processEvents(); // a run that ended at once has posted its summary
    // Waiting for the handing-over too keeps a failed run from reading as "No new data file".
    if (finished.size() == before && controller.runOrReportBusy()) {
        app.exec();
    }
}

} // namespace

int runOnce(const OnceOptions& options, int& argc, char** argv)
{
    // With --json stdout holds the documents alone; the other words go to stderr.
    FILE* words = options.json ? stderr : stdout;
    QCoreApplication app(argc, argv);
    InstanceServer instance(InstancePaths::forCurrentUser());
    HeadlessProgram* program = nullptr;
    // A one-off run ends by itself; a script that asks it to exit learns why it will not.
    const auto refused = takeForegroundInstance(
        instance,
        [&](const InstanceMessage& message) {
            if (program != nullptr && message.kind != InstanceMessage::Kind::Exit) {
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
    DocumentsLock documentsLock;
    if (const auto taken = takeDocumentsLock(documentsLock, paths)) {
        return *taken;
    }

    // Outlive the program: its library thread may hand over a summary until it stops.
    std::vector<RunSummary> finished;
    EventLoopCalls toEventLoop;
    HeadlessProgram once(paths);
    UpdateController& controller = once.controller();
    bool interrupted = false;
    // The first signal lets the records in flight finish and ends the run with its log lines;
    // a second one ends the program at once.
    SignalQuitter quitter([&] {
        if (!interrupted && controller.requestStop()) {
            interrupted = true;
            trace("stopping after the records in flight");
            return;
        }
        interrupted = true;
        app.quit();
    });
    controller.setRunFinishedHandler([&](const RunSummary& summary) {
        // May come from the scale library's thread: hand it to the event loop.
        toEventLoop.post([&app, &finished, summary] {
            finished.push_back(summary);
            app.quit();
        });
    });
    program = &once;
    const auto fire = [&](const auto& trigger) {
        const std::size_t before = finished.size();
        trigger();
        awaitRun(app, controller, finished, before);
        return finished.size() > before;
    };

    if (!options.resendFile.empty()) {
        controller.registerInterpreters();
        std::string error;
        fire([&] { error = controller.resend(options.resendFile, options.resendScale); });
        if (!error.empty()) {
            program = nullptr;
            std::fprintf(stderr, "ostrel: %s\n", error.c_str());
            return kExitSettingsError;
        }
    } else {
        // Every file goes in one run with the others, unless a writer keeps it past its time.
        controller.setSettlePolicy(UpdateController::SettlePolicy::WaitForAll);
        if (options.fullSend) {
            controller.requestFullSend();
        }
        const auto deadline = std::chrono::steady_clock::now() +
                              std::chrono::seconds(readSettleSeconds(paths.tarvikIni)) +
                              kWriterCheckAllowance;
        bool ran = fire([&] { controller.startUp(); });
        if (controller.scaleCount() == 0 && !controller.runBusy()) {
            program = nullptr;
            return kExitSettingsError;
        }
        bool finalTrigger = false;
        while (!interrupted) {
            if (ran && finished.back().filesWaiting > 0) {
                ran = fire([&] { controller.onTimerTick(); }); // the next hundred
                continue;
            }
            const std::int64_t waitMs = controller.settleWaitMs();
            if (ran || waitMs <= 0 || finalTrigger) {
                break;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                controller.setSettlePolicy(
                    UpdateController::SettlePolicy::SendSettledNamingTheRest);
                finalTrigger = true;
            } else {
                const auto wait = std::min<std::int64_t>(waitMs, left.count());
                std::fprintf(words, "Waiting %lld ms for a data file still being written.\n",
                             static_cast<long long>(wait));
                std::fflush(words);
                QEventLoop settle;
                QTimer::singleShot(static_cast<int>(wait), &settle, &QEventLoop::quit);
                settle.exec();
            }
            // The timer may have started it meanwhile; then this trigger is refused.
            ran = !interrupted && fire([&] { controller.onTimerTick(); });
        }
    }
    program = nullptr;
    for (const RunSummary& summary : finished) {
        if (options.json) {
            std::fputs(runResultJson(summary).c_str(), stdout);
            std::fflush(stdout);
        } else {
            printSummary(summary);
        }
    }
    if (interrupted || (!finished.empty() && finished.back().interrupted)) {
        std::fprintf(words, "interrupted\n");
        std::fflush(words);
        return kExitScaleFailed;
    }
    if (!controller.settingsError().empty()) {
        return kExitSettingsError; // the message said what is wrong
    }
    if (finished.empty()) {
        const std::vector<std::string> writing = controller.filesStillBeingWritten();
        for (const std::string& file : writing) {
            std::fprintf(words, "Not sent, still being written: %s\n", file.c_str());
        }
        if (!writing.empty()) {
            return kExitScaleFailed;
        }
        std::fputs("No new data file.\n", words);
        return kExitOk;
    }
    const bool allSucceeded = std::all_of(finished.begin(), finished.end(), runSucceeded);
    return allSucceeded ? kExitOk : kExitScaleFailed;
}

} // namespace ostrel
