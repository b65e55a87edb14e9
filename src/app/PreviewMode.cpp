// ostrel --preview: the records the data files would become, printed or as a JSON document;
// nothing is sent and no setting written.
#include "app/HeadlessProgram.h"
#include "app/OstrelProgram.h"
#include "app/ProgramModes.h"
#include "engine/PreviewSettings.h"
#include "engine/RecordPreview.h"
#include "platform/CodePage.h"
#include "platform/Documents.h"

#include <QCoreApplication>

#include <nlohmann/json.hpp>

#include <cstdio>

namespace ostrel {
namespace {

using Json = nlohmann::ordered_json;

const char* actionName(int action)
{
    return action == kActionSpecial ? "delete" : action >= 1 ? "insert" : "none";
}

void printFile(const PreviewFile& file)
{
    if (!file.opened) {
        std::printf("File %s: cannot be read\n", file.path.c_str());
        return;
    }
    std::printf("File %s: %s type, read as %s, %d data line(s)\n", file.path.c_str(),
                file.layout.c_str(), file.encoding.c_str(), file.lineCount);
    for (const auto& [line, why] : file.skippedLines) {
        std::printf("  line %d skipped: %s\n", line, why.c_str());
    }
    for (const std::string& warning : file.warnings) {
        std::printf("  warning: %s\n", warning.c_str());
    }
    for (const PreviewLine& line : file.lines) {
        std::printf("  line %d: ", line.fileLine);
        if (line.action < 1) {
            std::printf("%s\n", line.skipReason.c_str());
            continue;
        }
        std::printf("%s dept %d, PLU %lld, item %lld, price %s", actionName(line.action),
                    line.department, line.pluNumber, line.itemCode, line.price.c_str());
        for (const PreviewField& field : line.fields) {
            std::printf(", %s \"%s\"%s", codePageToUtf8(field.name).c_str(),
                        codePageToUtf8(field.value).c_str(), field.changedByRule ? "*" : "");
        }
        if (!line.partialRead.empty()) {
            std::printf(" (%s)", line.partialRead.c_str());
        }
        std::printf("\n");
    }
    if (static_cast<std::size_t>(file.lineCount) > file.lines.size()) {
        std::printf("  ... %zu more line(s)\n", file.lineCount - file.lines.size());
    }
}

Json fileJson(const PreviewFile& file)
{
    Json skipped = Json::array();
    for (const auto& [line, why] : file.skippedLines) {
        skipped.push_back({{"line", line}, {"reason", why}});
    }
    Json lines = Json::array();
    for (const PreviewLine& line : file.lines) {
        Json fields = Json::array();
        for (const PreviewField& field : line.fields) {
            fields.push_back({{"number", field.number},
                              {"name", codePageToUtf8(field.name)},
                              {"value", codePageToUtf8(field.value)},
                              {"changedByRule", field.changedByRule}});
        }
        lines.push_back({{"line", line.fileLine},
                         {"action", actionName(line.action)},
                         {"skipReason", line.skipReason},
                         {"department", line.department},
                         {"pluNumber", line.pluNumber},
                         {"itemCode", line.itemCode},
                         {"price", line.price},
                         {"fields", fields},
                         {"partialRead", line.partialRead}});
    }
    return {{"path", file.path},           {"readable", file.opened},
            {"encoding", file.encoding},   {"layout", file.layout},
            {"lineCount", file.lineCount}, {"skippedLines", skipped},
            {"warnings", file.warnings},   {"lines", lines}};
}

} // namespace

int runPreview(const CommandLine& commandLine, int& argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const SettingsPaths paths = SettingsPaths::fromDocuments(GetPathDocuments());
    if (!settingsFileUsable(paths)) {
        return kExitSettingsError;
    }
    StderrMessageSink messages;
    PreviewLayout layout;
    std::vector<std::string> files;
    if (const std::string problem = loadPreviewLayout(paths, messages, layout, &files);
        !problem.empty()) {
        std::fprintf(stderr, "ostrel: %s\n", problem.c_str());
        return kExitSettingsError;
    }
    if (!commandLine.previewFiles.empty()) {
        files = commandLine.previewFiles;
    }
    if (files.empty()) {
        std::fputs("No data file to preview.\n", commandLine.json ? stderr : stdout);
        return kExitOk;
    }
    bool everyLine = true;
    Json documents = Json::array();
    for (const std::string& path : files) {
        const PreviewFile file =
            previewDataFile(layout, path, static_cast<std::size_t>(commandLine.previewLines));
        everyLine = everyLine && file.everyLineMakesARecord();
        if (commandLine.json) {
            documents.push_back(fileJson(file));
        } else {
            printFile(file);
        }
    }
    if (commandLine.json) {
        const Json document{{"format", 1}, {"files", documents}};
        std::fputs((document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n").c_str(),
                   stdout);
    }
    return everyLine ? kExitOk : kExitScaleFailed;
}

} // namespace ostrel
