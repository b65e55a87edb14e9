// ostrel --scan [--save] and --test: the configuration window's two buttons in the foreground.
#include "app/HeadlessProgram.h"
#include "app/OstrelProgram.h"
#include "app/ProgramModes.h"
#include "app/SingleInstance.h"
#include "discovery/CUDPServer.h"
#include "discovery/ScaleQueryCommand.h"
#include "platform/Documents.h"
#include "settings/ScaleList.h"
#include "settings/SettingsHolder.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace ostrel {
namespace {

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

} // namespace

int runScaleQuery(const CommandLine& commandLine, int& argc, char** argv)
{
    QCoreApplication app(argc, argv);
    InstanceServer instance(InstancePaths::forCurrentUser());
    // The running instance would read the scale list while this one changes it.
    const auto refused = takeForegroundInstance(
        instance, [](const InstanceMessage&) {},
        "use its configuration window, or end it with 'ostrel --send exit'");
    if (refused) {
        return *refused;
    }
    const SettingsPaths paths = SettingsPaths::fromDocuments(GetPathDocuments());
    if (!settingsFileUsable(paths)) {
        return kExitSettingsError;
    }

    const bool scan = commandLine.mode == CommandLine::Mode::Scan;
    DocumentsLock documentsLock; // --save writes the scale list a run reads
    if (commandLine.save) {
        if (const auto taken = takeDocumentsLock(documentsLock, paths)) {
            return *taken;
        }
    }
    // Slots the list passes over are named, never tested under a wrapped port.
    const std::vector<std::string> listProblems = scaleListProblems(paths.tarvikIni);
    if (!scan) {
        for (const std::string& problem : listProblems) {
            std::fprintf(stderr, "ostrel: %s: %s\n", paths.tarvikIni.c_str(), problem.c_str());
        }
    }
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
    if (!listProblems.empty()) {
        return kExitSettingsError;
    }
    return answered == table.size() ? kExitOk : kExitScaleFailed;
}

} // namespace ostrel
