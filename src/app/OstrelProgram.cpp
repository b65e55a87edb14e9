#include "app/OstrelProgram.h"

#include "app/AutostartEntry.h"
#include "app/CUpdaterApp.h"
#include "app/HeadlessServices.h"
#include "app/SignalQuitter.h"
#include "app/SingleInstance.h"
#include "discovery/CUDPServer.h"
#include "discovery/ScaleQueryCommand.h"
#include "engine/RunResultFile.h"
#include "engine/UpdateController.h"
#include "eventloop/EventLoopCalls.h"
#include "format/ConfigTemplate.h"
#include "format/FirstRun.h"
#include "platform/Documents.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "platform/Trace.h"
#include "protocol/TcpScaleLibrary.h"
#include "settings/SettingsHolder.h"
#include "settings/SettingsPaths.h"
#include "ui/shell/ProgramIcon.h"
#include "ui/shell/QtMessageSink.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace ostrel {
namespace {

void printSummary(const RunSummary& summary)
{
    std::printf("Run %s: %zu file(s), %d line(s)\n", summary.stamp.c_str(), summary.files.size(),
                summary.lines);
    for (const std::string& file : summary.files) {
        std::printf("  file %s\n", file.c_str());
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

void traceSummary(const RunSummary& summary)
{
    int failed = 0;
    for (const auto& scale : summary.scales) {
        failed += scale.succeeded ? 0 : 1;
    }
    trace("run " + summary.stamp + ": " + std::to_string(summary.files.size()) + " file(s), " +
          std::to_string(summary.lines) + " line(s), " +
          std::to_string(summary.scales.size() - static_cast<std::size_t>(failed)) +
          " scale(s) succeeded, " + std::to_string(failed) + " failed");
}

// Everything the program owns while it runs, in the order it must be torn down: the
// controller goes before the library whose callbacks it receives.
class HeadlessProgram final
{
public:
    explicit HeadlessProgram(const SettingsPaths& paths)
        : m_timer([this] { m_controller->onTimerTick(); }),
          m_controller(std::make_unique<UpdateController>(UpdateController::Dependencies{
              paths, m_library, m_messages, m_progress, m_timer, m_clock}))
    {
    }
    ~HeadlessProgram() { m_controller.reset(); }
    HeadlessProgram(const HeadlessProgram&) = delete;
    HeadlessProgram& operator=(const HeadlessProgram&) = delete;

    UpdateController& controller() { return *m_controller; }
    ScaleLibrary& library() { return m_library; }

private:
    StderrMessageSink m_messages;
    TcpScaleLibrary m_library;
    TerminalProgress m_progress;
    SystemClock m_clock;
    QtUpdateTimer m_timer;
    std::unique_ptr<UpdateController> m_controller;
};

void handleMessage(QCoreApplication& app, UpdateController& controller,
                   const InstanceMessage& message)
{
    if (message.kind == InstanceMessage::Kind::Exit) {
        // By name: the functor overload's allocation reads as a leak to the static analyser.
        QMetaObject::invokeMethod(&app, "quit", Qt::QueuedConnection);
        return;
    }
    controller.onCopyData(message.code);
}

int runHeadless(int& argc, char** argv)
{
    QCoreApplication app(argc, argv);
    InstanceServer instance(InstancePaths::forCurrentUser());
    HeadlessProgram* program = nullptr;
    const auto acquired = instance.acquire([&](const InstanceMessage& message) {
        if (program != nullptr) {
            handleMessage(app, program->controller(), message);
        }
    });
    if (acquired == InstanceServer::Result::AlreadyRunning) {
        // A second start asks the running instance to reload and run, and ends.
        QString error;
        if (!sendToRunningInstance(InstancePaths::forCurrentUser(),
                                   InstanceMessage::copyData(kCopyDataReloadAndRun), 5000,
                                   &error)) {
            std::fprintf(stderr, "ostrel: %s\n", qPrintable(error));
        }
        return kExitOk;
    }
    if (acquired == InstanceServer::Result::Failed) {
        std::fprintf(stderr, "ostrel: %s\n", qPrintable(instance.errorText()));
        return kExitSettingsError;
    }

    SignalQuitter quitter;
    const SettingsPaths paths = SettingsPaths::fromDocuments(GetPathDocuments());
    if (settingsMissing(paths)) {
        std::fprintf(stderr, "ostrel: %s\n", firstRunHint(paths).c_str());
    }
    HeadlessProgram headless(paths);
    headless.controller().setRunFinishedHandler(traceSummary);
    program = &headless;
    trace("running headless; settings in " + paths.configFolder);
    headless.controller().startUp();
    const int code = app.exec();
    program = nullptr;
    writeExitRegistryValue();
    return code;
}

// A desktop session has a display; without one the program is the headless one.
bool haveDisplay()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return true;
        }
    }
    return false;
}

int runTray(int& argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false); // closing a window never ends the program
    QApplication::setWindowIcon(programIcon());

    QtMessageSink messages;
    TcpScaleLibrary library;
    SystemClock clock;
    CUpdaterApp updater(InstancePaths::forCurrentUser(),
                        SettingsPaths::fromDocuments(GetPathDocuments()),
                        CUpdaterApp::Services{library, messages, clock});
    // Installed before start-up, whose messages may already wait for an answer.
    SignalQuitter quitter([&updater] { updater.requestExit(); });
    switch (updater.InitInstance()) {
    case CUpdaterApp::Start::SecondInstance:
        return kExitOk;
    case CUpdaterApp::Start::Failed:
        std::fprintf(stderr, "ostrel: %s\n", qPrintable(updater.errorText()));
        return kExitSettingsError;
    case CUpdaterApp::Start::Running:
        break;
    }
    if (updater.exitRequested()) {
        return kExitOk; // asked to end while start-up showed a message
    }
    const int code = QApplication::exec();
    updater.ExitInstance();
    return code;
}

int runOnce(bool json, int& argc, char** argv)
{
    // With --json stdout holds the document alone; the other words go to stderr.
    FILE* words = json ? stderr : stdout;
    QCoreApplication app(argc, argv);
    InstanceServer instance(InstancePaths::forCurrentUser());
    HeadlessProgram* program = nullptr;
    // A one-off run ends by itself; a script that asks it to exit learns why it will not.
    instance.refuse(InstanceMessage::Kind::Exit);
    const auto acquired = instance.acquire([&](const InstanceMessage& message) {
        if (program != nullptr && message.kind == InstanceMessage::Kind::CopyData) {
            program->controller().onCopyData(message.code);
        }
    });
    if (acquired == InstanceServer::Result::AlreadyRunning) {
        std::fprintf(stderr, "ostrel: another Ostrel instance is running; ask it with "
                             "'ostrel --send run'\n");
        return kExitAlreadyRunning;
    }
    if (acquired == InstanceServer::Result::Failed) {
        std::fprintf(stderr, "ostrel: %s\n", qPrintable(instance.errorText()));
        return kExitSettingsError;
    }

    const SettingsPaths paths = SettingsPaths::fromDocuments(GetPathDocuments());
    if (!fileExists(paths.tarvikIni) && entryExists(paths.tarvikIni)) {
        std::fprintf(stderr, "ostrel: the settings file %s is not a regular file\n",
                     paths.tarvikIni.c_str());
        return kExitSettingsError;
    }
    if (!fileExists(paths.tarvikIni)) {
        std::fprintf(stderr,
                     "ostrel: no settings file %s\n"
                     "ostrel: create the settings with 'ostrel --init-config'\n",
                     paths.tarvikIni.c_str());
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

// False, with the message printed, when the settings file is missing or no file.
bool settingsFileUsable(const SettingsPaths& paths)
{
    if (!fileExists(paths.tarvikIni) && entryExists(paths.tarvikIni)) {
        std::fprintf(stderr, "ostrel: the settings file %s is not a regular file\n",
                     paths.tarvikIni.c_str());
        return false;
    }
    if (!fileExists(paths.tarvikIni)) {
        std::fprintf(stderr,
                     "ostrel: no settings file %s\n"
                     "ostrel: create the settings with 'ostrel --init-config'\n",
                     paths.tarvikIni.c_str());
        return false;
    }
    return true;
}

void printScaleRows(const ScaleTable& table)
{
    std::printf("%-15s %-5s %-10s %-20s %-10s %s\n", "ADDRESS", "PORT", "CONNECTION", "NAME",
                "MODEL", "VERSION");
    for (const auto& row : table.rows()) {
        const ScaleListColumns& c = row.columns;
        std::printf("%-15s %-5s %-10s %-20s %-10s %s\n", c.address.c_str(), c.port.c_str(),
                    row.connection.empty() ? "-" : row.connection.c_str(), c.name.c_str(),
                    c.model.c_str(), c.version.c_str());
    }
    std::fflush(stdout);
}

// ostrel --scan [--save] and --test: the configuration window's two buttons in the foreground.
int runScaleQuery(const CommandLine& commandLine, int& argc, char** argv)
{
    QCoreApplication app(argc, argv);
    InstanceServer instance(InstancePaths::forCurrentUser());
    instance.refuse(InstanceMessage::Kind::Exit);
    // The running instance would read the scale list while this one changes it.
    const auto acquired = instance.acquire([](const InstanceMessage&) {});
    if (acquired == InstanceServer::Result::AlreadyRunning) {
        std::fprintf(stderr, "ostrel: another Ostrel instance is running; use its "
                             "configuration window, or end it with 'ostrel --send exit'\n");
        return kExitAlreadyRunning;
    }
    if (acquired == InstanceServer::Result::Failed) {
        std::fprintf(stderr, "ostrel: %s\n", qPrintable(instance.errorText()));
        return kExitSettingsError;
    }
    const SettingsPaths paths = SettingsPaths::fromDocuments(GetPathDocuments());
    if (!settingsFileUsable(paths)) {
        return kExitSettingsError;
    }

    const bool scan = commandLine.mode == CommandLine::Mode::Scan;
    HeadlessProgram program(paths);
    UpdateController& controller = program.controller();
    controller.registerInterpreters();
    SettingsHolder& holder = controller.settingsHolder();
    holder.loadScaleList(paths.tarvikIni);
    if (!scan && holder.scaleTable().size() == 0) {
        std::fprintf(stderr, "ostrel: no scale is registered in %s\n", paths.tarvikIni.c_str());
        return kExitSettingsError;
    }
    ScaleQueryCommand command(
        {paths,
         program.library(),
         holder,
         [&controller](const std::string& ip, std::uint16_t port, std::uint16_t model) {
             return controller.ConnectProcessScale(ip, port, model);
         },
         {},
         {}});
    controller.setScaleQueryReplyHandler(
        [&command](const SendBlock& block) { return command.OnScaleReply(block); });
    if (scan) {
        std::fputs("Scanning for scales...\n", stderr);
        if (command.scan() == CUDPServer::kSendFailed) {
            std::fputs("ostrel: the scan request could not be sent (check "
                       "OSTREL_SCAN_BROADCAST and the network)\n",
                       stderr);
        }
    } else {
        command.test();
    }
    controller.setScaleQueryReplyHandler({});
    for (const std::string& error : command.errors()) {
        std::fprintf(stderr, "ostrel: %s\n", error.c_str());
    }
    const ScaleTable& table = holder.scaleTable();
    printScaleRows(table);
    const auto answered = static_cast<std::size_t>(
        std::count_if(table.rows().begin(), table.rows().end(),
                      [](const ScaleTableRow& row) { return !row.connection.empty(); }));
    if (scan) {
        if (answered == 0) {
            std::fputs("No scale answered; the scale list was left as it was.\n", stderr);
            return kExitScaleFailed;
        }
        if (commandLine.save) {
            std::string error;
            if (!command.save(error)) {
                std::fprintf(stderr, "ostrel: %s\n", error.c_str());
                return kExitSettingsError;
            }
            std::printf("Saved %zu scale(s) to %s\n", table.size(), paths.tarvikIni.c_str());
        }
        return kExitOk;
    }
    return answered == table.size() ? kExitOk : kExitScaleFailed;
}

int runSend(const InstanceMessage& message, int& argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QString error;
    if (!sendToRunningInstance(InstancePaths::forCurrentUser(), message, 5000, &error)) {
        std::fprintf(stderr, "ostrel: %s\n", qPrintable(error));
        return kExitScaleFailed;
    }
    return kExitOk;
}

int runStatus()
{
    const SettingsPaths paths = SettingsPaths::fromDocuments(GetPathDocuments());
    const std::string file = paths.logFolder + "/" + kRunResultFileName;
    const auto json = readWholeFile(file);
    if (!json) {
        std::printf("No run recorded yet (%s does not exist).\n", file.c_str());
        return kExitScaleFailed;
    }
    const RunStatus status = describeRunResult(*json);
    if (!status.readable) {
        std::fprintf(stderr, "ostrel: %s: %s\n", file.c_str(), status.text.c_str());
        return kExitScaleFailed;
    }
    std::fputs(status.text.c_str(), stdout);
    return status.succeeded ? kExitOk : kExitScaleFailed;
}

int runInitConfig()
{
    const std::string templateDir = findConfigTemplateDir();
    if (templateDir.empty()) {
        std::fprintf(stderr, "ostrel: the settings template is not installed\n");
        return kExitSettingsError;
    }
    const std::string documents = GetPathDocuments();
    const ConfigInstallReport report = installConfigTemplate(templateDir, documents);
    for (const std::string& file : report.created) {
        std::printf("created %s\n", file.c_str());
    }
    for (const std::string& file : report.kept) {
        std::printf("kept    %s\n", file.c_str());
    }
    if (!report.ok) {
        std::fprintf(stderr, "ostrel: %s\n", report.error.c_str());
        return kExitSettingsError;
    }
    return kExitOk;
}

int runAutostart(bool startAtLogin)
{
    const AutostartEntry entry(AutostartEntry::userAutostartDir());
    std::string error;
    if (!entry.write(startAtLogin, error)) {
        std::fprintf(stderr, "ostrel: %s\n", error.c_str());
        return kExitScaleFailed;
    }
    std::printf("%s at login: %s\n", startAtLogin ? "starts" : "does not start",
                entry.path().c_str());
    return kExitOk;
}

} // namespace

int runProgram(const CommandLine& commandLine, int& argc, char** argv)
{
    if (!commandLine.documents.empty()) {
        ::setenv("OSTREL_DOCUMENTS", commandLine.documents.c_str(), 1);
    }
    switch (commandLine.mode) {
    case CommandLine::Mode::Help:
        std::fputs(usageText(), stdout);
        return kExitOk;
    case CommandLine::Mode::Version:
        std::fputs(versionText(), stdout);
        return kExitOk;
    case CommandLine::Mode::InitConfig:
        return runInitConfig();
    case CommandLine::Mode::Autostart:
        return runAutostart(commandLine.startAtLogin);
    case CommandLine::Mode::Send:
        return runSend(*commandLine.message, argc, argv);
    case CommandLine::Mode::Once:
        return runOnce(commandLine.json, argc, argv);
    case CommandLine::Mode::Scan:
    case CommandLine::Mode::Test:
        return runScaleQuery(commandLine, argc, argv);
    case CommandLine::Mode::Status:
        return runStatus();
    case CommandLine::Mode::Tray:
        return haveDisplay() ? runTray(argc, argv) : runHeadless(argc, argv);
    case CommandLine::Mode::Headless:
        return runHeadless(argc, argv);
    }
    return kExitOk;
}

} // namespace ostrel
