#include "ui/rules/RuleTextValidator.h"

#include "rules/RuleListEditor.h"

#include <algorithm>

namespace ostrel {
namespace {

bool fits(const QString& text)
{
    return fitsRuleText(text.toUtf8().toStdString());
}

// Removes the character that ends at `end`, both halves of a surrogate pair together.
int removeCharacterBefore(QString& text, int end)
{
    const int length =
        end >= 2 && text.at(end - 1).isLowSurrogate() && text.at(end - 2).isHighSurrogate() ? 2 : 1;
    text.remove(end - length, length);
    return end - length;
}

} // namespace

RuleTextValidator::RuleTextValidator(QObject* parent) : QValidator(parent) {}

RuleTextValidator::~RuleTextValidator() = default;

QValidator::State RuleTextValidator::validate(QString& input, int& pos) const
{
    // What was just typed or pasted sits before the cursor: cut that first.
    pos = std::clamp(pos, 0, static_cast<int>(input.size()));
    while (pos > 0 && !fits(input)) {
        pos = removeCharacterBefore(input, pos);
    }
    while (!input.isEmpty() && !fits(input)) {
        removeCharacterBefore(input, static_cast<int>(input.size()));
    }
    return Acceptable;
}

} // namespace ostrel
