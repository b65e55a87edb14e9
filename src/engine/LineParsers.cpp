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

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The blanks atoi passes over.
bool isBlank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string_view trimBlanks(std::string_view text)
{
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Notes the line's first number field whose text holds more than was read.
void notePartial(PartialRead* partial, int field, std::string_view text, std::int64_t value,
                 bool whole)
{
    if (partial != nullptr && partial->field == 0 && !whole) {
        *partial = {field, std::string(text), value};
    }
}

// The price of a fixed-width line: with a decimal mark it is scaled like a separated one,
// without one it is in minor units.
std::int64_t fixedPrice(std::string_view text, int decimalPoint)
{
    if (text.find_first_of(".,") != std::string_view::npos) {
        return ScaleDecimal(text, decimalPoint);
    }
    return atoiText(text);
}

} // namespace

int ScaleDecimal(std::string_view text, int decimals)
{
    const std::size_t lastDot = text.rfind('.');
    const std::size_t lastComma = text.rfind(',');
    char mark = lastComma == std::string_view::npos ? '.' : ',';
    std::string withoutGrouping;
    if (lastDot != std::string_view::npos && lastComma != std::string_view::npos) {
        // "1.234,50" and "1,234.50": the last mark is the decimal one, the other groups digits.
        mark = lastDot > lastComma ? '.' : ',';
        const char grouping = mark == '.' ? ',' : '.';
        withoutGrouping.reserve(text.size());
        for (const char c : text) {
            if (c != grouping) {
                withoutGrouping.push_back(c);
            }
        }
        text = withoutGrouping;
    }
    const std::size_t at = text.find(mark);
    const std::string_view integerPart = text.substr(0, at);
    std::string_view fraction =
        at == std::string_view::npos ? std::string_view() : text.substr(at + 1);
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

bool numberReadWhole(std::string_view text)
{
    text = trimBlanks(text);
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        text.remove_prefix(1);
        if (text.empty()) {
            return false;
        }
    }
    return std::all_of(text.begin(), text.end(), isDigit);
}

bool priceReadWhole(std::string_view text)
{
    text = trimBlanks(text);
    if (text.empty()) {
        return true;
    }
    if (text.front() == '+' || text.front() == '-') {
        text.remove_prefix(1);
    }
    const std::size_t lastDot = text.rfind('.');
    const std::size_t lastComma = text.rfind(',');
    const bool both = lastDot != std::string_view::npos && lastComma != std::string_view::npos;
    const char mark = both ? (lastDot > lastComma ? '.' : ',')
                           : (lastComma == std::string_view::npos ? '.' : ',');
    int digits = 0;
    int marks = 0;
    for (const char c : text) {
        if (isDigit(c)) {
            ++digits;
        } else if (c == mark) {
            ++marks;
        } else if (!(both && (c == '.' || c == ','))) {
            return false;
        }
    }
    return digits > 0 && marks <= 1;
}

int LeadingNumber(std::string_view text)
{
    return atoiText(text.size() < 3 ? text : text.substr(0, 2));
}

int ParseSeparatedLine(int dataKind, PluRecord& record, const ColumnList& columns,
                       const SeparatedParseInputs& inputs, PartialRead* partial)
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
            notePartial(partial, field, text, value, priceReadWhole(text));
        } else if (field == 9) {
            value = LeadingNumber(text);
            notePartial(partial, field, text, value,
                        numberReadWhole(text.size() < 3 ? text : text.substr(0, 2)));
        } else {
            value = atoiText(text);
            notePartial(partial, field, text, value, numberReadWhole(text));
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
                   const ReplaceRuleTable& rules, int decimalPoint, PartialRead* partial)
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
        const std::int64_t value = field == 6 ? fixedPrice(text, decimalPoint) : atoiText(text);
        notePartial(partial, field, text, value,
                    field == 6 ? priceReadWhole(text) : numberReadWhole(text));
        if (!storeNumberField(work, slot, value)) {
            return kActionNone;
        }
    }
    record = work;
    return result;
}

} // namespace ostrel
