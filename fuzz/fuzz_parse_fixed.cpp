// ParseFixedLine with arbitrary rules, decimals and columns; a field read only in part is a
// number field.
#include "FuzzRecordChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ostrel;
    FuzzedDataProvider input(data, size);
    const ReplaceRuleTable rules = fuzz::consumeRules(input);
    const int decimals = input.ConsumeIntegral<int>();
    const ColumnList columns = fuzz::consumeColumns(input);

    PluRecord before;
    before.bytes.fill(0x5A);
    PluRecord record = before;
    PartialRead partial;
    fuzz::checkRecord(ParseFixedLine(kPluDataKind, record, columns, rules, decimals, &partial),
                      record, before);
    fuzz::checkPartialRead(partial);
    if (record.bytes[691] != 0x5A && (record.bytes[691] != 0 || record.bytes[692] != 0)) {
        std::abort(); // the fixed type leaves the long text's length word 0
    }
    return 0;
}
