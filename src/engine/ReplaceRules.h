// Replacement rules during import: the rule table, whole-value replacement, and the cached
// loading of the rules file before each line.
#pragma once

#include "engine/FileBackedCache.h"
#include "rules/RulesFile.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// Rules in file order, indexed by field number for the fields a record can hold.
class ReplaceRuleTable final
{
public:
    ReplaceRuleTable() = default;
    explicit ReplaceRuleTable(std::vector<ReplaceRule> rules);

    // Replaces `text` by the first rule for `fieldNumber` whose find text equals all of it.
    // Returns true when a rule applied.
    bool ApplyReplaceRules(int fieldNumber, std::string& text) const;
    // The replacement text for a value, nullptr when no rule applies.
    const std::string* replacementFor(int fieldNumber, std::string_view text) const;
    // The value after the rules, without copying it.
    std::string_view applied(int fieldNumber, std::string_view text) const
    {
        const std::string* replacement = replacementFor(fieldNumber, text);
        return replacement != nullptr ? std::string_view(*replacement) : text;
    }

    std::size_t size() const { return m_rules.size(); }
    const std::vector<ReplaceRule>& rules() const { return m_rules; }

private:
    std::vector<ReplaceRule> m_rules;
    // For fields 0..101: indexes into m_rules, in file order.
    std::array<std::vector<std::uint16_t>, 102> m_byField;
};

// LoadReplaceRules before each line, reading plumatch.mch again only when it changed.
class ReplaceRuleSource final
{
public:
    explicit ReplaceRuleSource(std::string rulesFilePath);
    const ReplaceRuleTable& LoadReplaceRules(CacheCheck check = CacheCheck::CompareStamp);

private:
    using Parse = std::function<ReplaceRuleTable(std::optional<std::string_view>)>;
    FileBackedCache<ReplaceRuleTable, Parse> m_cache;
};

} // namespace ostrel
