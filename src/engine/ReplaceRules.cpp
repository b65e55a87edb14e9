#include "engine/ReplaceRules.h"

namespace ostrel {

ReplaceRuleTable::ReplaceRuleTable(std::vector<ReplaceRule> rules) : m_rules(std::move(rules))
{
    if (m_rules.size() > kMaxRules) {
        m_rules.resize(kMaxRules);
    }
    for (std::size_t i = 0; i < m_rules.size(); ++i) {
        const int field = m_rules[i].fieldNumber;
        // Rules for other numbers can never match a column.
        if (field >= 0 && field < static_cast<int>(m_byField.size())) {
            m_byField[static_cast<std::size_t>(field)].push_back(static_cast<std::uint16_t>(i));
        }
    }
}

bool ReplaceRuleTable::ApplyReplaceRules(int fieldNumber, std::string& text) const
{
    const std::string* replacement = replacementFor(fieldNumber, text);
    if (replacement == nullptr) {
        return false;
    }
    text = *replacement;
    return true;
}

const std::string* ReplaceRuleTable::replacementFor(int fieldNumber, std::string_view text) const
{
    if (fieldNumber < 0 || fieldNumber >= static_cast<int>(m_byField.size())) {
        return nullptr;
    }
    for (const std::uint16_t index : m_byField[static_cast<std::size_t>(fieldNumber)]) {
        const ReplaceRule& rule = m_rules[index];
        if (text == rule.findText) {
            return &rule.replaceText;
        }
    }
    return nullptr;
}

ReplaceRuleSource::ReplaceRuleSource(std::string rulesFilePath)
    : m_cache(std::move(rulesFilePath), [](std::optional<std::string_view> bytes) {
          return bytes ? ReplaceRuleTable(parseRules(*bytes)) : ReplaceRuleTable();
      })
{
}

const ReplaceRuleTable& ReplaceRuleSource::LoadReplaceRules(CacheCheck check)
{
    return m_cache.current(check);
}

} // namespace ostrel
