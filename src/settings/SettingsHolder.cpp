#include "settings/SettingsHolder.h"

#include "platform/IniFile.h"
#include "platform/Numbers.h"
#include "settings/TarvikKeys.h"

namespace ostrel {

void SettingsHolder::loadDecimalPoint(const std::string& tarvikIni)
{
    using namespace tarvik;
    setDecimalPointText(
        readProfileString(kSectionCycle, kKeyDecimalPoint, "", kValueCapacity, tarvikIni));
}

void SettingsHolder::setDecimalPointText(std::string text)
{
    std::lock_guard lock(m_mutex);
    m_decimalPoint = std::move(text);
}

std::string SettingsHolder::decimalPointText() const
{
    std::lock_guard lock(m_mutex);
    return m_decimalPoint;
}

void SettingsHolder::loadScaleList(const std::string& tarvikIni)
{
    const std::vector<ScaleListRow> rows = readScaleListForWindow(tarvikIni);
    m_scaleRecords.clear();
    for (const auto& row : rows) {
        m_scaleRecords.push_back(ScaleRecord::fromIpList(row.value));
    }
    m_scaleTable.load(rows);
}

int SettingsHolder::decimals() const
{
    return atoiText(decimalPointText());
}

} // namespace ostrel
