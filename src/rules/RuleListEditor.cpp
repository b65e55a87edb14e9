#include "rules/RuleListEditor.h"

#include "platform/CodePage.h"
#include "platform/FileSystem.h"

#include <limits>

namespace ostrel {

bool fitsRuleText(std::string_view utf8)
{
    return utf8ToCodePage(utf8).size() <= kRuleTextMaxBytes;
}

std::string_view ruleEditMessage(RuleEditOutcome outcome)
{
    switch (outcome) {
    case RuleEditOutcome::NoFindText:
        return "Enter the text to find for replace!";
    case RuleEditOutcome::NoReplaceText:
        return "Enter the text to be replaced!";
    case RuleEditOutcome::ListFull:
        return "The list is full: it holds at most 101 rules.";
    case RuleEditOutcome::Done:
    case RuleEditOutcome::NothingToActOn:
        break;
    }
    return {};
}

RuleListEditor::RuleListEditor(std::vector<PluField> fields) : m_fields(std::move(fields)) {}

RulesLoad RuleListEditor::load(const std::string& path)
{
    m_rules.clear();
    m_remembered.reset();
    const std::string target = resolvePath(path);
    if (!fileExists(target)) {
        return RulesLoad::NoFile;
    }
    const auto bytes = readWholeFile(target);
    if (!bytes) {
        return RulesLoad::Unreadable;
    }
    m_rules = parseRules(*bytes, std::numeric_limits<std::size_t>::max());
    return RulesLoad::Loaded;
}

bool RuleListEditor::save(const std::string& path) const
{
    return writeRulesFile(path, m_rules);
}

std::optional<std::size_t> RuleListEditor::rememberedRow() const
{
    if (m_remembered && *m_remembered < m_rules.size()) {
        return m_remembered;
    }
    return std::nullopt;
}

bool RuleListEditor::canAdd(std::optional<std::size_t> field) const
{
    return field && *field < m_fields.size();
}

bool RuleListEditor::canEdit(std::optional<std::size_t> field) const
{
    return canAdd(field) && rememberedRow().has_value();
}

RuleEditOutcome RuleListEditor::checkInput(std::optional<std::size_t> field,
                                           const std::string& findText,
                                           const std::string& replaceText) const
{
    if (!canAdd(field)) {
        return RuleEditOutcome::NothingToActOn;
    }
    if (findText.empty()) {
        return RuleEditOutcome::NoFindText;
    }
    if (replaceText.empty()) {
        return RuleEditOutcome::NoReplaceText;
    }
    return RuleEditOutcome::Done;
}

ReplaceRule RuleListEditor::makeRule(std::size_t field, std::string findText,
                                     std::string replaceText) const
{
    const PluField& chosen = m_fields[field];
    return {chosen.number, chosen.name, std::move(findText), std::move(replaceText)};
}

RuleEditOutcome RuleListEditor::add(std::optional<std::size_t> field, std::string findText,
                                    std::string replaceText)
{
    // The engine reads no more than this, so a longer list would silently lose its tail.
    if (canAdd(field) && m_rules.size() >= kMaxRules) {
        return RuleEditOutcome::ListFull;
    }
    const RuleEditOutcome outcome = checkInput(field, findText, replaceText);
    if (outcome == RuleEditOutcome::Done) {
        m_rules.push_back(makeRule(*field, std::move(findText), std::move(replaceText)));
    }
    return outcome;
}

RuleEditOutcome RuleListEditor::edit(std::optional<std::size_t> field, std::string findText,
                                     std::string replaceText)
{
    const auto row = rememberedRow();
    if (!row) {
        return RuleEditOutcome::NothingToActOn;
    }
    const RuleEditOutcome outcome = checkInput(field, findText, replaceText);
    if (outcome == RuleEditOutcome::Done) {
        m_rules[*row] = makeRule(*field, std::move(findText), std::move(replaceText));
    }
    return outcome;
}

bool RuleListEditor::deleteRemembered()
{
    const auto row = rememberedRow();
    if (!row) {
        return false;
    }
    m_rules.erase(m_rules.begin() + static_cast<std::ptrdiff_t>(*row));
    return true;
}

std::optional<std::size_t> RuleListEditor::selectRow(std::size_t row)
{
    if (row >= m_rules.size()) {
        return std::nullopt;
    }
    m_remembered = row;
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].name == m_rules[row].fieldName) {
            return i;
        }
    }
    return std::nullopt;
}

} // namespace ostrel
