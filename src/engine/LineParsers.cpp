#include "engine/LineParsers.h"

#include "platform/Numbers.h"

#include <algorithm>
#include <string>

namespace ostrel {

namespace {

const ReplaceRuleTable kNoRules;

// Stores a number slot and tells whether the record still stands (PLU number not 0).
bool storeNumberField(PluRecord& work, const PluSlot& slot, std::int64_t value)
{
    work.storeNumber(slot, value);
    return !(slot.fieldNumber == 2 && value == 0);
}

std::string withoutCarriageReturns(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        out.push_back(text[i]);
    }
    return out;
}

} // namespace

int ScaleDecimal(std::string_view text, int decimals)
{
    const std::size_t dot = text.find('.');
    const std::string_view integerPart = text.substr(0, dot);
    std::string_view fraction =
        dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
    const std::size_t wanted = decimals > 0 ? static_cast<std::size_t>(decimals) : 0;
    fraction = fraction.substr(0, std::min(fraction.size(), wanted));

    std::string digits;
    digits.reserve(integerPart.size() + fraction.size() + 12);
    digits.append(integerPart).append(fraction);
    // More than ten padding zeros cannot change the clamped value of a number, and an
    // absurd decimal point setting must not allocate its count in zeros.
    digits.append(std::min<std::size_t>(wanted - fraction.size(), 12), '0');
    return atoiText(digits);
}

int LeadingNumber(std::string_view text)
{
    return atoiText(text.size() < 3 ? text : text.substr(0, 2));
}

int ParseSeparatedLine(int dataKind, PluRecord& record, const ColumnList& columns,
                       const SeparatedParseInputs& inputs)
{
    if (dataKind < 1) {
        return kActionRecord;
    }
    const ReplaceRuleTable& rules = inputs.rules != nullptr ? *inputs.rules : kNoRules;
    PluRecord work;
    work.setDefaults();
    int result = kActionRecord;
    bool sawPluNumber = false;

    const std::size_t count = std::min(columns.size(), inputs.columnFields.size());
    for (std::size_t i = 0; i < count; ++i) {
        const int field = inputs.columnFields[i];
        if (field == kActionField) {
            result = kActionSpecial;
            continue;
        }
        const PluSlot* slot = slotForField(field);
        if (slot == nullptr) {
            continue;
        }
        if (field == kLongTextField) {
            const std::size_t stored = work.storeText(*slot, withoutCarriageReturns(columns[i]));
            work.storeNumber(longTextLengthSlot(), static_cast<std::int64_t>(stored));
            continue;
        }
        const std::string_view text = rules.applied(field, columns[i]);
        if (slot->kind == SlotKind::Text) {
            work.storeText(*slot, text);
            continue;
        }
        std::int64_t value = 0;
        if (field == 6) {
            value = ScaleDecimal(text, inputs.decimalPoint);
        } else if (field == 9) {
            value = LeadingNumber(text);
        } else {
            value = atoiText(text);
        }
        if (!storeNumberField(work, *slot, value)) {
            return kActionNone;
        }
        if (field == 2) {
            sawPluNumber = true;
            if (inputs.itemIsPlu) {
                work.storeNumber(*slotForField(11), value);
            }
        }
    }
    // A record without a PLU number would overwrite the scale's PLU 0.
    if (!sawPluNumber) {
        return kActionNone;
    }
    record = work;
    return result;
}

int ParseFixedLine(int dataKind, PluRecord& record, const ColumnList& columns,
                   const ReplaceRuleTable& rules)
{
    if (dataKind < 1) {
        return kActionRecord;
    }
    PluRecord work;
    int result = kActionRecord;
    for (std::size_t position = 0; position < kFixedColumnFields.size(); ++position) {
        const int field = kFixedColumnFields[position];
        // A layout with fewer definitions gives empty columns for the rest.
        const std::string_view column =
            position < columns.size() ? std::string_view(columns[position]) : std::string_view();
        const std::string_view text = rules.applied(field, column);
        if (field == kActionField) {
            if (text == "1") {
                result = kActionSpecial;
            }
            continue;
        }
        const PluSlot& slot = *slotForField(field);
        if (slot.kind == SlotKind::Text) {
            work.storeText(slot, text); // field 99 included; its length word stays 0
            continue;
        }
        if (!storeNumberField(work, slot, atoiText(text))) {
            return kActionNone;
        }
    }
    record = work;
    return result;
}

} // namespace ostrel
