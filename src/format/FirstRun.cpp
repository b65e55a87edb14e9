#include "format/FirstRun.h"

#include "format/ConfigTemplate.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"

namespace ostrel {

bool settingsMissing(const SettingsPaths& paths)
{
    return !folderExists(paths.configFolder) || !fileExists(paths.tarvikIni);
}

std::string firstRunHint(const SettingsPaths& paths)
{
    return "no settings in " + paths.configFolder +
           "; create them with 'ostrel --init-config', then register the scales in Tarvik.ini";
}

FirstRunOutcome offerFirstRun(const SettingsPaths& paths, const std::string& templateDir,
                              MessageSink& messages)
{
    if (!settingsMissing(paths)) {
        return FirstRunOutcome::NotNeeded;
    }
    const MessageAnswer answer = messages.ShowMessage(
        "Ostrel has no settings yet.\n\nCreate them now from the template in\n" +
            paths.configFolder + "?\n\nAfterwards, register your scales under Configuration.",
        "Ostrel", MessageIcon::Question, MessageButtons::YesNo);
    if (answer != MessageAnswer::Yes) {
        return FirstRunOutcome::Declined;
    }
    if (templateDir.empty()) {
        messages.ShowMessage("The settings template is not installed; the settings were not "
                             "created.",
                             "Ostrel", MessageIcon::Error, MessageButtons::Ok);
        return FirstRunOutcome::Failed;
    }
    const ConfigInstallReport report = installConfigTemplate(templateDir, paths.documents);
    if (!report.ok) {
        messages.ShowMessage("The settings could not be created: " + report.error, "Ostrel",
                             MessageIcon::Error, MessageButtons::Ok);
        return FirstRunOutcome::Failed;
    }
    messages.ShowMessage("The settings were created in\n" + paths.configFolder +
                             "\n\nRegister your scales under Configuration.",
                         "Ostrel", MessageIcon::Information, MessageButtons::Ok);
    return FirstRunOutcome::Created;
}

} // namespace ostrel
