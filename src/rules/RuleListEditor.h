// The rules window's working list: the rules loaded from plumatch.mch, the row the user last
// selected, and the add, overwrite and delete steps with their checks. Texts are code-page
// bytes; the window converts at its edge.
#pragma once

#include "format/StructFile.h"
#include "rules/RulesFile.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

inline constexpr std::size_t kRuleTextMaxBytes = kRuleTextSize - 1;

// Whether a text typed in the window (UTF-8) fits a rule text once in the active code page.
bool fitsRuleText(std::string_view utf8);

enum class RuleEditOutcome
{
    Done,
    NoFindText,
    NoReplaceText,
    ListFull,
    NothingToActOn, // no field chosen, or no remembered row
};

// The message the window shows for a refused Add or Edit; empty when there is none.
std::string_view ruleEditMessage(RuleEditOutcome outcome);

enum class RulesLoad
{
    Loaded,
    NoFile,
    Unreadable,
};

class RuleListEditor final
{
public:
    explicit RuleListEditor(std::vector<PluField> fields);

    // Replaces the list by every whole record of the file (even past the engine's 101, so that
    // saving never drops a rule someone else wrote). The remembered row is forgotten.
    RulesLoad load(const std::string& path);
    // Rewrites the whole file from the list; an empty list gives an empty file.
    bool save(const std::string& path) const;

    const std::vector<PluField>& fields() const { return m_fields; }
    const std::vector<ReplaceRule>& rules() const { return m_rules; }
    // The remembered row while it names a row of the list.
    std::optional<std::size_t> rememberedRow() const;

    // `field` indexes fields(); nullopt when "Field:" has no selection.
    bool canAdd(std::optional<std::size_t> field) const;
    bool canEdit(std::optional<std::size_t> field) const;
    bool canDelete() const { return rememberedRow().has_value(); }

    // Appends a rule at the end.
    RuleEditOutcome add(std::optional<std::size_t> field, std::string findText,
                        std::string replaceText);
    // Overwrites the remembered row.
    RuleEditOutcome edit(std::optional<std::size_t> field, std::string findText,
                         std::string replaceText);
    // Deletes the remembered row and keeps remembering its index, which then names the row
    // that moved up into it.
    bool deleteRemembered();

    // Remembers `row` and returns the field whose name is exactly the row's field name.
    std::optional<std::size_t> selectRow(std::size_t row);

private:
    RuleEditOutcome checkInput(std::optional<std::size_t> field, const std::string& findText,
                               const std::string& replaceText) const;
    ReplaceRule makeRule(std::size_t field, std::string findText, std::string replaceText) const;

    std::vector<PluField> m_fields;
    std::vector<ReplaceRule> m_rules;
    std::optional<std::size_t> m_remembered;
};

} // namespace ostrel
