#include "app/OstrelProgram.h"

#include "app/AutostartEntry.h"
#include "app/CUpdaterApp.h"
#include "app/ProgramModes.h"
#include "app/SignalQuitter.h"
#include "app/SingleInstance.h"
#include "engine/RunResultFile.h"
#include "format/ConfigTemplate.h"
#include "platform/Documents.h"
#include "platform/FileSystem.h"
#include "protocol/TcpScaleLibrary.h"
#include "settings/SettingsPaths.h"
#include "ui/shell/ProgramIcon.h"
#include "ui/shell/QtMessageSink.h"

#include <QApplication>
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <optional>

namespace ostrel {
namespace {

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

// `initial`: the message of --start --send, for the running instance or, when none runs, for
// this one once it is up.
int runTray(int& argc, char** argv, std::optional<InstanceMessage> initial = std::nullopt)
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
    switch (updater.InitInstance(initial)) {
    case CUpdaterApp::Start::SecondInstance:
        return kExitOk;
    case CUpdaterApp::Start::NotDelivered:
        return kExitScaleFailed; // the reason is printed
    case CUpdaterApp::Start::FolderInUse:
        std::fprintf(stderr, "ostrel: %s\n", qPrintable(updater.errorText()));
        return kExitAlreadyRunning;
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
        // Nothing to end when none runs, and nowhere to show windows without a display.
        if (commandLine.start && commandLine.message->kind != InstanceMessage::Kind::Exit &&
            haveDisplay()) {
            return runTray(argc, argv, commandLine.message);
        }
        return runSend(*commandLine.message, argc, argv);
    case CommandLine::Mode::Once:
        return runOnce({commandLine.json, {}, {}, commandLine.full}, argc, argv);
    case CommandLine::Mode::Resend:
        return runOnce({commandLine.json, commandLine.resendFile, commandLine.scale, false}, argc,
                       argv);
    case CommandLine::Mode::Scan:
    case CommandLine::Mode::Test:
        return runScaleQuery(commandLine, argc, argv);
    case CommandLine::Mode::Preview:
        return runPreview(commandLine, argc, argv);
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
