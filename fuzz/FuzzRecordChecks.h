// Shared by the line parser fuzz targets: inputs from fuzz bytes and record invariants.
#pragma once

#include "engine/LineParsers.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <cstring>

namespace ostrel::fuzz {

inline ReplaceRuleTable consumeRules(FuzzedDataProvider& input)
{
    std::vector<ReplaceRule> rules;
    const int count = input.ConsumeIntegralInRange(0, 8);
    for (int i = 0; i < count; ++i) {
        rules.push_back({input.ConsumeIntegralInRange(-2, 104), "",
                         input.ConsumeRandomLengthString(8), input.ConsumeRandomLengthString(120)});
    }
    return ReplaceRuleTable(std::move(rules));
}

// Columns separated by 0x1F in the remaining bytes.
inline ColumnList consumeColumns(FuzzedDataProvider& input)
{
    const std::string rest = input.ConsumeRemainingBytesAsString();
    ColumnList columns;
    std::size_t start = 0;
    for (;;) {
        const auto end = rest.find('\x1f', start);
        columns.push_back(rest.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return columns;
}

// Every text slot keeps its terminating zero; a refused line leaves the buffer alone.
inline void checkRecord(int result, const PluRecord& record, const PluRecord& before)
{
    if (result != 0 && result != 3 && result != 4) {
        std::abort();
    }
    if (result == 0) {
        if (std::memcmp(record.bytes.data(), before.bytes.data(), kPluRecordSize) != 0) {
            std::abort();
        }
        return;
    }
    for (const auto& slot : kPluLayout) {
        if (slot.kind == SlotKind::Text && record.bytes[slot.offset + slot.width - 1] != 0) {
            std::abort();
        }
        if (slot.kind == SlotKind::Reserved) {
            for (std::size_t i = 0; i < slot.width; ++i) {
                if (record.bytes[slot.offset + i] != 0) {
                    std::abort();
                }
            }
        }
    }
    if (record.bytes[0] == 0 && record.bytes[1] == 0) {
        std::abort(); // the department is never 0
    }
    if (record.numberOfField(2).value_or(0) == 0) {
        std::abort(); // nor the PLU number of a record
    }
}

// A field read only in part is a number field, and a text read whole never is one.
inline void checkPartialRead(const PartialRead& partial)
{
    if (partial.field == 0) {
        return;
    }
    const PluSlot* slot = slotForField(partial.field);
    if (slot == nullptr || slot->kind == SlotKind::Text || numberReadWhole(partial.text)) {
        std::abort();
    }
}

} // namespace ostrel::fuzz
