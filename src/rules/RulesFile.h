// plumatch.mch: the replacement rules, a plain sequence of 304-byte records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

inline constexpr std::size_t kRuleRecordSize = 304;
inline constexpr std::size_t kRuleTextSize = 100; // 99 bytes + terminating zero
inline constexpr std::size_t kMaxRules = 101;

struct ReplaceRule
{
    std::int32_t fieldNumber = 0;
    std::string fieldName;
    std::string findText;
    std::string replaceText;

    bool operator==(const ReplaceRule&) const = default;
};

// Whole records only (a partial last record is ignored), at most maxRules of them.
std::vector<ReplaceRule> parseRules(std::string_view bytes, std::size_t maxRules = kMaxRules);
std::vector<ReplaceRule> readRulesFile(const std::string& path, std::size_t maxRules = kMaxRules);

// One record per rule in list order; texts longer than 99 bytes are cut.
std::string serializeRules(const std::vector<ReplaceRule>& rules);
bool writeRulesFile(const std::string& path, const std::vector<ReplaceRule>& rules);

} // namespace ostrel
