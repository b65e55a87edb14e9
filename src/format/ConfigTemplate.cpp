#include "format/ConfigTemplate.h"

#include "format/PrsFile.h"
#include "format/StructFile.h"
#include "platform/FileSystem.h"
#include "settings/SettingsPaths.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace ostrel {

namespace {

std::string executableDir()
{
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : exe.parent_path().string();
}

bool makeFolder(const std::string& folder, ConfigInstallReport& report)
{
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error || !folderExists(folder)) {
        report.ok = false;
        report.error = "cannot create " + folder + ": " + error.message();
        return false;
    }
    return true;
}

void copyIfMissing(const std::string& templateDir, const char* name, const std::string& target,
                   ConfigInstallReport& report)
{
    if (fileExists(target)) {
        report.kept.push_back(target);
        return;
    }
    const auto bytes = readWholeFile(templateDir + "/" + name);
    if (!bytes || !writeFileAtomically(target, *bytes)) {
        report.ok = false;
        report.error = std::string("cannot copy ") + name + " to " + target;
        return;
    }
    report.created.push_back(target);
}

} // namespace

std::string findConfigTemplateDir()
{
    std::vector<std::string> candidates;
    if (const char* env = std::getenv("OSTREL_TEMPLATE_DIR"); env != nullptr && *env != '\0') {
        candidates.emplace_back(env);
    }
    if (const std::string exeDir = executableDir(); !exeDir.empty()) {
        candidates.push_back(exeDir + "/../share/ostrel/config-template");
    }
#ifdef OSTREL_TEMPLATE_SOURCE_DIR
    candidates.emplace_back(OSTREL_TEMPLATE_SOURCE_DIR);
#endif
    for (const auto& candidate : candidates) {
        if (folderExists(candidate)) {
            return candidate;
        }
    }
    return {};
}

ConfigInstallReport installConfigTemplate(const std::string& templateDir,
                                          const std::string& documents)
{
    ConfigInstallReport report;
    const SettingsPaths paths = SettingsPaths::fromDocuments(documents);
    if (templateDir.empty() || !folderExists(templateDir)) {
        report.ok = false;
        report.error = "no settings template folder found";
        return report;
    }
    if (!makeFolder(paths.configFolder, report) || !makeFolder(paths.logFolder, report)) {
        return report;
    }
    copyIfMissing(templateDir, "Tarvik.ini", paths.tarvikIni, report);
    copyIfMissing(templateDir, "PluID.ini", paths.pluIdIni, report);
    copyIfMissing(templateDir, "plustruct.str", paths.structFile, report);

    if (fileExists(paths.prsFile)) {
        report.kept.push_back(paths.prsFile);
        return report;
    }
    // One undefined record per listed field, so the fixed-type side starts without the
    // "File not found!" message and pairs record n with field n.
    std::vector<FixedFieldDef> defs;
    for (const auto& field : readPluFieldList(paths.structFile)) {
        defs.push_back(makeFixedFieldDef(field.number, field.name, 0, 0));
    }
    if (!writePrsFile(paths.prsFile, defs)) {
        report.ok = false;
        report.error = "cannot write " + paths.prsFile;
        return report;
    }
    report.created.push_back(paths.prsFile);
    return report;
}

} // namespace ostrel
