// Feeds arbitrary bytes to the rules-file reader (plumatch.mch may come from anywhere) and
// checks that what the window would save reads back as the same rules.
#include "rules/RulesFile.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto rules = ostrel::parseRules(bytes, std::numeric_limits<std::size_t>::max());
    if (rules.size() != size / ostrel::kRuleRecordSize ||
        ostrel::parseRules(bytes).size() > ostrel::kMaxRules) {
        __builtin_trap();
    }
    for (auto& rule : rules) {
        for (std::string* text : {&rule.fieldName, &rule.findText, &rule.replaceText}) {
            if (text->size() > ostrel::kRuleTextSize || text->find('\0') != std::string::npos) {
                __builtin_trap();
            }
            text->resize(std::min(text->size(), ostrel::kRuleTextSize - 1)); // what a save keeps
        }
    }
    const std::string saved = ostrel::serializeRules(rules);
    if (saved.size() != rules.size() * ostrel::kRuleRecordSize ||
        ostrel::parseRules(saved, std::numeric_limits<std::size_t>::max()) != rules) {
        __builtin_trap();
    }
    return 0;
}
