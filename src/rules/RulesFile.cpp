#include "rules/RulesFile.h"

#include "platform/FileSystem.h"

#include <algorithm>
#include <cstring>

namespace ostrel {

namespace {

constexpr std::size_t kNameOffset = 4;
constexpr std::size_t kFindOffset = 104;
constexpr std::size_t kReplaceOffset = 204;

std::string readText(std::string_view record, std::size_t offset)
{
    const std::string_view slot = record.substr(offset, kRuleTextSize);
    return std::string(slot.substr(0, slot.find('\0')));
}

void putText(std::string& bytes, std::size_t offset, const std::string& text)
{
    std::memcpy(bytes.data() + offset, text.data(), std::min(text.size(), kRuleTextSize - 1));
}

} // namespace

std::vector<ReplaceRule> parseRules(std::string_view bytes, std::size_t maxRules)
{
    const std::size_t count = std::min(bytes.size() / kRuleRecordSize, maxRules);
    std::vector<ReplaceRule> rules;
    rules.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::string_view record = bytes.substr(i * kRuleRecordSize, kRuleRecordSize);
        std::uint32_t number = 0;
        for (std::size_t b = 0; b < 4; ++b) {
            number |= static_cast<std::uint32_t>(static_cast<unsigned char>(record[b])) << (8 * b);
        }
        rules.push_back({static_cast<std::int32_t>(number), readText(record, kNameOffset),
                         readText(record, kFindOffset), readText(record, kReplaceOffset)});
    }
    return rules;
}

std::vector<ReplaceRule> readRulesFile(const std::string& path, std::size_t maxRules)
{
    const std::string target = resolvePath(path);
    if (!fileExists(target)) {
        return {};
    }
    const auto bytes = readWholeFile(target);
    return bytes ? parseRules(*bytes, maxRules) : std::vector<ReplaceRule>{};
}

std::string serializeRules(const std::vector<ReplaceRule>& rules)
{
    std::string bytes(rules.size() * kRuleRecordSize, '\0');
    for (std::size_t i = 0; i < rules.size(); ++i) {
        const std::size_t base = i * kRuleRecordSize;
        const auto number = static_cast<std::uint32_t>(rules[i].fieldNumber);
        for (std::size_t b = 0; b < 4; ++b) {
            bytes[base + b] = static_cast<char>((number >> (8 * b)) & 0xFF);
        }
        putText(bytes, base + kNameOffset, rules[i].fieldName);
        putText(bytes, base + kFindOffset, rules[i].findText);
        putText(bytes, base + kReplaceOffset, rules[i].replaceText);
    }
    return bytes;
}

bool writeRulesFile(const std::string& path, const std::vector<ReplaceRule>& rules)
{
    return writeFileAtomically(resolvePath(path), serializeRules(rules));
}

} // namespace ostrel
