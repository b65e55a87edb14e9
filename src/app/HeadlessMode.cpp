// ostrel --headless: the whole program on the Qt event loop without windows.
#include "app/HeadlessProgram.h"
#include "app/OstrelProgram.h"
#include "app/ProgramModes.h"
#include "app/SignalQuitter.h"
#include "app/SingleInstance.h"
#include "eventloop/DescriptorWatch.h"
#include "format/FirstRun.h"
#include "platform/Documents.h"
#include "platform/Registry.h"
#include "platform/Trace.h"

#include <QCoreApplication>

#include <cstdio>

namespace ostrel {
namespace {

void traceSummary(const RunSummary& summary)
{
    int failed = 0;
    int unchanged = 0;
    for (const auto& scale : summary.scales) {
        failed += scale.succeeded ? 0 : 1;
        unchanged += scale.linesUnchanged;
    }
    trace("run " + summary.stamp + ": " + std::to_string(summary.files.size()) + " file(s), " +
          std::to_string(summary.lines) + " line(s), " +
          std::to_string(summary.scales.size() - static_cast<std::size_t>(failed)) +
          " scale(s) succeeded, " + std::to_string(failed) + " failed" +
          (unchanged > 0 ? ", " + std::to_string(unchanged) + " record(s) unchanged" : ""));
}

void handleMessage(QCoreApplication& app, UpdateController& controller,
                   const InstanceMessage& message)
{
    if (message.kind == InstanceMessage::Kind::Exit) {
        // By name: the functor overload's allocation reads as a leak to the static analyser.
        QMetaObject::invokeMethod(&app, "quit", Qt::QueuedConnection);
        return;
    }
    if (message.kind == InstanceMessage::Kind::RunFull) {
        controller.requestFullSend();
    }
    controller.onCopyData(message.code);
}

} // namespace

int runHeadless(int& argc, char** argv)
{
    QCoreApplication app(argc, argv);
    InstanceServer instance(InstancePaths::forCurrentUser());
    // Without windows there is nothing to open; a second start (Show) reloads and runs.
    instance.refuse(InstanceMessage::Kind::Configure);
    instance.refuse(InstanceMessage::Kind::PluFileSetting);
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
    DocumentsLock documentsLock;
    if (const auto taken = takeDocumentsLock(documentsLock, paths)) {
        return *taken;
    }
    HeadlessProgram headless(paths);
    headless.controller().setRunFinishedHandler(traceSummary);
    program = &headless;
    trace("running headless; settings in " + paths.configFolder);
    headless.controller().startUp();
    // New data files start a run once they have settled, not a timer period later.
    DescriptorWatch folderWatch(headless.controller().folderWatchDescriptor(),
                                [&headless] { headless.controller().onFolderActivity(); });
    const int code = app.exec();
    program = nullptr;
    writeExitRegistryValue();
    return code;
}

} // namespace ostrel
