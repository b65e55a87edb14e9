#include "engine/RunSettings.h"

#include "platform/MessageBox.h"
#include "protocol/Ipv4Text.h"
#include "settings/RunSettingsFile.h"
#include "settings/ScaleList.h"
#include "settings/SettingsHolder.h"

#include <algorithm>
#include <cstdio>

namespace ostrel {

ScaleEntry makeScaleEntry(const RunScaleRow& row)
{
    ScaleEntry entry;
    entry.port = row.port;
    entry.modelCode = modelCode(row.modelName);
    const ScaleVersion version = splitVersionText(row.versionText);
    entry.version1 = version.v1;
    entry.version2 = version.v2;
    entry.version3 = version.v3;
    entry.version4 = version.v4;
    // The reader cuts already; cutting again keeps the fixed field safe from any other source.
    const std::size_t ipLength = std::min(row.ipText.size(), entry.ipText.size() - 1);
    std::copy_n(row.ipText.begin(), ipLength, entry.ipText.begin());
    entry.name = row.name.substr(0, kRunNameMax);
    entry.modelName = row.modelName.substr(0, kRunModelNameMax);
    return entry;
}

std::string scaleEntryProblem(const ScaleEntry& entry)
{
    std::string_view ip = entry.ip();
    while (!ip.empty() && (ip.front() == ' ' || ip.front() == '\t')) {
        ip.remove_prefix(1);
    }
    while (!ip.empty() && (ip.back() == ' ' || ip.back() == '\t')) {
        ip.remove_suffix(1);
    }
    if (!parseDecimalIpv4(ip)) {
        return "the address \"" + std::string(entry.ip()) + "\" in [IPLIST] is not an IPv4 address";
    }
    if (!isValidPort(entry.port)) {
        return "the port " + std::to_string(entry.port) + " in [IPLIST] is outside 1 to 65535";
    }
    return {};
}

LoadedRunSettings readRunSettings(const SettingsPaths& paths)
{
    LoadedRunSettings loaded;
    auto values = readRunSettingsValues(paths);
    if (!values) {
        return loaded;
    }
    loaded.fileFound = true;
    RunSettings& settings = loaded.settings;
    settings.period = values->period;
    settings.runSettingsFile = std::move(values->runSettingsFile);
    settings.searchPattern = std::move(values->searchPattern);
    settings.createDate = std::move(values->createDate);
    settings.fileType = values->fileType;
    settings.scales.reserve(values->scales.size());
    for (const auto& row : values->scales) {
        settings.scales.push_back(makeScaleEntry(row));
    }
    loaded.scaleCount = static_cast<int>(settings.scales.size());
    return loaded;
}

void showNoScaleMessage(MessageSink& messages)
{
    messages.ShowMessage(std::string(kNoScaleText), std::string(kNoScaleCaption),
                         MessageIcon::Warning, MessageButtons::Ok);
}

int HasNewDataFile(std::span<const DataFileEntry> files, std::string_view createDate,
                   SettingsHolder& holder)
{
    holder.setRunMode(RunMode::Update);
    for (const auto& file : files) {
        const auto time = fileLastWriteLocal(file.path);
        if (!time) {
            continue;
        }
        char text[32];
        std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", time->year, time->month,
                      time->day, time->hour, time->minute, time->second);
        if (std::string_view(text) > createDate) {
            return 1;
        }
    }
    return 0;
}

} // namespace ostrel
