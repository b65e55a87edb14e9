// ParseSeparatedLine with arbitrary column assignments, rules, decimals and columns.
#include "FuzzRecordChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ostrel;
    FuzzedDataProvider input(data, size);
    std::vector<int> fields;
    const int count = input.ConsumeIntegralInRange(0, 20);
    for (int i = 0; i < count; ++i) {
        fields.push_back(input.ConsumeIntegralInRange(-3, 110));
    }
    const ReplaceRuleTable rules = fuzz::consumeRules(input);
    const bool itemIsPlu = input.ConsumeBool();
    const int decimals = input.ConsumeIntegral<int>();
    const ColumnList columns = fuzz::consumeColumns(input);

    PluRecord before;
    before.bytes.fill(0xA5);
    PluRecord record = before;
    const SeparatedParseInputs inputs{fields, &rules, itemIsPlu, decimals};
    PartialRead partial;
    fuzz::checkRecord(ParseSeparatedLine(kPluDataKind, record, columns, inputs, &partial), record,
                      before);
    fuzz::checkPartialRead(partial);
    return 0;
}
