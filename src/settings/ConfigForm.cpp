#include "settings/ConfigForm.h"

#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "settings/SettingsPaths.h"
#include "settings/TarvikKeys.h"

#include <algorithm>
#include <cctype>

namespace ostrel {
namespace {

char lower(char c)
{
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool equalIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lower(x) == lower(y); });
}

} // namespace

ConfigFormTexts loadConfigForm(const SettingsPaths& paths)
{
    using namespace tarvik;
    const std::string& ini = paths.tarvikIni;
    ConfigFormTexts form;
    form.configFile = paths.productFolder +
                      readProfileString(kSectionPath, kKeyConfigRoot, "", kValueCapacity, ini);
    form.cycle = readProfileString(kSectionCycle, kKeyUpdateCycle, "", kValueCapacity, ini);
    form.interval = readProfileString(kSectionCycle, kKeyUpdateInterval, "", kValueCapacity, ini);
    form.decimalPoint = readProfileString(kSectionCycle, kKeyDecimalPoint, "", kValueCapacity, ini);
    return form;
}

int storedCycleIndex(const std::string& tarvikIni)
{
    using namespace tarvik;
    const std::string stored = readProfileString(kSectionCycle, kKeyUpdateCycle,
                                                 kDefaultCycleSelection, kValueCapacity, tarvikIni);
    for (std::size_t i = 0; i < kCycleItems.size(); ++i) {
        if (equalIgnoringCase(stored, kCycleItems[i])) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string configRootFromField(std::string_view fieldText, std::string_view productFolder)
{
    std::string result;
    if (productFolder.empty()) {
        return std::string(fieldText);
    }
    while (!fieldText.empty()) {
        if (fieldText.size() >= productFolder.size() &&
            equalIgnoringCase(fieldText.substr(0, productFolder.size()), productFolder)) {
            fieldText.remove_prefix(productFolder.size());
        } else {
            result += fieldText.front();
            fieldText.remove_prefix(1);
        }
    }
    return result;
}

ConfigSaveResult saveConfigForm(const SettingsPaths& paths, const ConfigFormTexts& form,
                                const std::vector<ScaleListColumns>& rows)
{
    using namespace tarvik;
    ConfigSaveResult result;
    const std::string& ini = paths.tarvikIni;
    if (form.configFile.empty() ||
        !(fileExists(form.configFile) || folderExists(form.configFile))) {
        return result;
    }
    // A write that does not reach the file must not end in "Save is completed!".
    const auto failed = [&result] {
        result.outcome = ConfigSaveOutcome::Failed;
        return result;
    };
    if (!writeProfileString(kSectionPath, kKeyConfigRoot,
                            configRootFromField(form.configFile, paths.productFolder), ini)) {
        return failed();
    }
    if (form.cycle.empty()) {
        result.outcome = ConfigSaveOutcome::CheckData;
        return result;
    }
    if (!writeProfileString(kSectionCycle, kKeyUpdateCycle, form.cycle, ini)) {
        return failed();
    }
    if (form.interval.empty()) {
        result.outcome = ConfigSaveOutcome::CheckData;
        return result;
    }
    if (!writeProfileString(kSectionCycle, kKeyUpdateInterval, form.interval, ini)) {
        return failed();
    }
    if (!writeProfileString(kSectionCycle, kKeyDecimalPoint, form.decimalPoint, ini)) {
        return failed();
    }
    result.decimalPointWritten = true;
    if (!writeScaleList(ini, rows)) {
        return failed();
    }
    result.outcome = ConfigSaveOutcome::Completed;
    return result;
}

std::string captionFilePath(std::string_view workingFolder, std::string_view languageCode)
{
    std::string path(workingFolder);
    path += "/config/";
    path += languageCode;
    path += "/config_";
    path += languageCode;
    path += ".cap";
    return collapseDoubleSlashes(std::move(path));
}

std::string unescapeCaption(std::string_view text)
{
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            result += text[i];
            continue;
        }
        if (++i >= text.size()) {
            break;
        }
        switch (text[i]) {
        case '\\':
            result += '\\';
            break;
        case 'n':
            result += '\n';
            break;
        case 'r':
            result += '\r';
            break;
        case 't':
            result += '\t';
            break;
        default:
            break;
        }
    }
    return result;
}

std::string captionLookup(std::string_view workingFolder, std::string_view languageCode,
                          std::string_view section, std::string_view key,
                          std::string_view defaultText)
{
    const std::string file = captionFilePath(workingFolder, languageCode);
    return unescapeCaption(
        readProfileString(section, key, defaultText, tarvik::kValueCapacity, file));
}

} // namespace ostrel
