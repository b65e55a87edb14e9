#include "discovery/ScaleAnswer.h"

#include "platform/IniFile.h"
#include "platform/Trace.h"
#include "settings/ScaleList.h"
#include "settings/ScaleTable.h"
#include "settings/TarvikKeys.h"

#include <array>

namespace ostrel {

namespace {

struct ModelRow
{
    std::uint16_t code;
    ModelShown shown;
};

constexpr std::array kModels{
    ModelRow{7100, {"QV7100", 2, 1}},
    ModelRow{7600, {"QV7600", 2, 1}},
    ModelRow{7300, {"QV7300", 2, 1}},
    ModelRow{7110, {"QV7100MN", 1, 0}},
    ModelRow{210, {"TZ3W", 2, 1}},
    ModelRow{static_cast<std::uint16_t>(kModelCodeTz47), {"TZ47", 2, 0}},
};

std::uint32_t readLe(std::span<const std::uint8_t> data, std::size_t offset, std::size_t width)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < width && offset + i < data.size(); ++i) {
        value |= static_cast<std::uint32_t>(data[offset + i]) << (8 * i);
    }
    return value;
}

} // namespace

std::optional<ModelShown> modelShown(std::uint16_t modelCode)
{
    for (const auto& row : kModels) {
        if (row.code == modelCode) {
            return row.shown;
        }
    }
    return std::nullopt;
}

ScaleInformation readScaleInformation(std::span<const std::uint8_t> data)
{
    ScaleInformation info;
    info.status = static_cast<std::uint16_t>(readLe(data, kInfoStatusOffset, 2));
    for (std::size_t i = kInfoTextOffset;
         i < kInfoTextOffset + kInfoTextMax && i < data.size() && data[i] != 0; ++i) {
        info.text.push_back(static_cast<char>(data[i]));
    }
    info.modelCode = static_cast<std::uint16_t>(readLe(data, kInfoModelOffset, 2));
    info.version1 = static_cast<std::int32_t>(readLe(data, kInfoVersion1Offset, 4));
    info.version2 = static_cast<std::int32_t>(readLe(data, kInfoVersion2Offset, 4));
    info.version3 = static_cast<std::uint16_t>(readLe(data, kInfoVersion3Offset, 2));
    info.version4 = static_cast<std::uint16_t>(readLe(data, kInfoVersion4Offset, 2));
    return info;
}

std::string withDecimalDot(long long value, int decimals)
{
    std::string text = std::to_string(value);
    if (decimals <= 0) {
        return text;
    }
    const auto count = static_cast<std::size_t>(decimals);
    text.insert(text.size() > count ? text.size() - count : 0, 1, '.');
    return text;
}

std::string versionText(const ModelShown& model, const ScaleInformation& info)
{
    const std::string b =
        withDecimalDot(info.version1, model.version1Decimals) + "." + std::to_string(info.version2);
    const std::string c = withDecimalDot(info.version3, model.version3Decimals);
    return b + "," + c + "," + std::to_string(info.version4);
}

bool answerPassesFilter(const ScaleInformation& info)
{
    return info.status != 0 || info.text.find("E99") != std::string::npos;
}

bool applyScaleAnswer(ScaleTable& table, const ScaleAnswer& answer, const std::string& tarvikIni,
                      const std::string& connectedCaption)
{
    const std::optional<std::size_t> index = table.rowForAnswer(answer.ipText);
    if (!index) {
        return false;
    }
    ScaleListColumns columns = table.rows()[*index].columns;
    columns.address = answer.trimmed;
    columns.port = std::to_string(answer.port);
    if (columns.name.empty()) {
        columns.name = readProfileString(tarvik::kSectionIpName, paddedIp(answer.trimmed), "",
                                         tarvik::kValueCapacity, tarvikIni);
    }
    trace(answer.trimmed);
    if (const auto model = modelShown(answer.info.modelCode)) {
        columns.model = std::string(model->name);
        columns.version = versionText(*model, answer.info);
    }
    table.setColumns(*index, std::move(columns));
    table.setConnection(*index, connectedCaption);
    return true;
}

} // namespace ostrel
