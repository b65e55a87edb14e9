#include "EngineTestSupport.h"

#include "engine/LineParsers.h"

#include <gtest/gtest.h>

#include <vector>

namespace ostrel {
namespace {

using test::bytesAt;
using test::firstDifference;
using test::putBytes;
using test::putText;

PluRecord filledWith(std::uint8_t byte)
{
    PluRecord record;
    record.bytes.fill(byte);
    return record;
}

struct Separated
{
    explicit Separated(std::vector<int> columnFields) : fields(std::move(columnFields)) {}

    std::vector<int> fields;
    ReplaceRuleTable rules;
    bool itemIsPlu = false;
    int decimals = 2;

    int parse(const ColumnList& columns, PluRecord& record) const
    {
        SeparatedParseInputs inputs{fields, &rules, itemIsPlu, decimals};
        return ParseSeparatedLine(kPluDataKind, record, columns, inputs);
    }
};

TEST(ParseSeparatedLine, BuildsTheRecordByteForByte)
{
    Separated parser{{2, 1, 10, 6}};
    PluRecord record = filledWith(0xAA);
    ASSERT_EQ(parser.parse({"123", "5", "Apple", "2.5"}, record), 3);

    PluRecord expected;
    putBytes(expected, 0, 2, 5);     // department
    putBytes(expected, 2, 4, 123);   // PLU number
    putText(expected, 7, "Apple");   // field 10
    putBytes(expected, 443, 4, 250); // price, two decimals
    EXPECT_EQ(firstDifference(record, expected), -1);
}

TEST(ParseSeparatedLine, ItemIsPluCopiesThePluNumberIntoTheItemCode)
{
    Separated parser{{2, 1, 10, 6}};
    parser.itemIsPlu = true;
    PluRecord record;
    ASSERT_EQ(parser.parse({"123", "5", "Apple", "2.5"}, record), 3);
    EXPECT_EQ(bytesAt(record, 435, 4), 123u);
    EXPECT_EQ(bytesAt(record, 2, 4), 123u);
}

TEST(ParseSeparatedLine, DepartmentIsOneWhenMissingOrZero)
{
    Separated parser{{2, 1}};
    PluRecord record;
    ASSERT_EQ(parser.parse({"7"}, record), 3); // no department column
    EXPECT_EQ(bytesAt(record, 0, 2), 1u);
    ASSERT_EQ(parser.parse({"7", "0"}, record), 3);
    EXPECT_EQ(bytesAt(record, 0, 2), 1u);
    ASSERT_EQ(parser.parse({"7", "65536"}, record), 3); // low 16 bits are 0
    EXPECT_EQ(bytesAt(record, 0, 2), 1u);
}

TEST(ParseSeparatedLine, PluNumberZeroEmptyTextOrMissingGivesNoRecord)
{
    Separated parser{{1, 2}};
    for (const ColumnList& columns :
         std::vector<ColumnList>{{"5", "0"}, {"5", ""}, {"5", "abc"}, {"5"}}) {
        PluRecord record = filledWith(0xAA);
        EXPECT_EQ(parser.parse(columns, record), 0) << columns.size();
        EXPECT_EQ(firstDifference(record, filledWith(0xAA)), -1);
    }
    Separated noAssignment{std::vector<int>{}};
    PluRecord record;
    EXPECT_EQ(noAssignment.parse({"123", "5"}, record), 0);
}

TEST(ParseSeparatedLine, ActionFieldGivesFourWhateverItsTextAndIgnoresRules)
{
    Separated parser{{2, 101}};
    parser.rules = ReplaceRuleTable({{101, "", "X", "1"}});
    PluRecord record;
    EXPECT_EQ(parser.parse({"9", "0"}, record), 4);
    EXPECT_EQ(parser.parse({"9", ""}, record), 4);
    EXPECT_EQ(parser.parse({"9"}, record), 3); // key beyond the last column is not read
}

TEST(ParseSeparatedLine, LongTextTurnsCrLfIntoLfAndWritesItsLength)
{
    Separated parser{{2, 99}};
    parser.rules = ReplaceRuleTable({{99, "", "a\r\nb", "replaced"}});
    PluRecord record;
    ASSERT_EQ(parser.parse({"1", "a\r\nb\rc\n"}, record), 3);
    PluRecord expected;
    putBytes(expected, 0, 2, 1);
    putBytes(expected, 2, 4, 1);
    putBytes(expected, 691, 2, 6);
    putText(expected, 693, "a\nb\rc\n");
    EXPECT_EQ(firstDifference(record, expected), -1);

    // Cut to its slot: 4614 bytes and the terminating zero; the length says what is stored.
    ASSERT_EQ(parser.parse({"1", std::string(5000, 'x')}, record), 3);
    EXPECT_EQ(bytesAt(record, 691, 2), 4614u);
    EXPECT_EQ(record.bytes[693 + 4613], 'x');
    EXPECT_EQ(record.bytes[693 + 4614], 0);
}

TEST(ParseSeparatedLine, NumbersAreCutToTheirSlots)
{
    // 100 -> low 16 bits zero-extended; 5 -> 8 bits; 80 -> 16 bits; 9 -> leading number;
    // 3 -> ten characters; 7 has no slot.
    Separated parser{{2, 100, 5, 80, 9, 3, 7, 13}};
    PluRecord record;
    ASSERT_EQ(
        parser.parse({"1", "70000", "300", "-1", "123", "ABCDEFGHIJKLMN", "77", " -42x"}, record),
        3);
    PluRecord expected;
    putBytes(expected, 0, 2, 1);
    putBytes(expected, 2, 4, 1);
    putBytes(expected, 420, 4, 70000 & 0xFFFF);
    putBytes(expected, 419, 1, 300 & 0xFF);
    putBytes(expected, 413, 2, 0xFFFF);
    putBytes(expected, 310, 2, 12);
    putText(expected, 424, "ABCDEFGHIJ");
    putBytes(expected, 453, 4, static_cast<std::uint32_t>(-42));
    EXPECT_EQ(firstDifference(record, expected), -1);
}

TEST(ParseSeparatedLine, RulesApplyBeforeConversion)
{
    Separated parser{{1, 2, 6}};
    parser.rules = ReplaceRuleTable(
        {{1, "", "10", "3"}, {1, "", "10", "4"}, {6, "", "free", "0.01"}, {2, "", "", "77"}});
    PluRecord record;
    ASSERT_EQ(parser.parse({"10", "", "free"}, record), 3);
    EXPECT_EQ(bytesAt(record, 0, 2), 3u);   // first matching rule wins
    EXPECT_EQ(bytesAt(record, 2, 4), 77u);  // empty find text fills an empty column
    EXPECT_EQ(bytesAt(record, 443, 4), 1u); // replacement then scaled
    ASSERT_EQ(parser.parse({"100", "10", "1"}, record), 3);
    EXPECT_EQ(bytesAt(record, 0, 2), 100u); // whole value only
    EXPECT_EQ(bytesAt(record, 2, 4), 10u);  // a rule of another field
    ASSERT_EQ(parser.parse({" 10", "1", "1"}, record), 3);
    EXPECT_EQ(bytesAt(record, 0, 2), 10u); // the blank makes it another value
}

TEST(ParseSeparatedLine, DataKindBelowOneLeavesTheBufferAlone)
{
    Separated parser{{2}};
    PluRecord record = filledWith(0x55);
    SeparatedParseInputs inputs{parser.fields, &parser.rules, false, 2};
    EXPECT_EQ(ParseSeparatedLine(0, record, {"0"}, inputs), 3);
    EXPECT_EQ(firstDifference(record, filledWith(0x55)), -1);
}

TEST(ScaleDecimal, PadsOrCutsTheFraction)
{
    EXPECT_EQ(ScaleDecimal("12.5", 2), 1250);
    EXPECT_EQ(ScaleDecimal("12.345", 2), 1234);
    EXPECT_EQ(ScaleDecimal("12", 2), 1200);
    EXPECT_EQ(ScaleDecimal("-1.5", 2), -150);
    EXPECT_EQ(ScaleDecimal(".5", 2), 50);
    EXPECT_EQ(ScaleDecimal("2.5", 0), 2);
    EXPECT_EQ(ScaleDecimal("2.5", -3), 2);
    EXPECT_EQ(ScaleDecimal("1.2.3", 2), 12); // split at the first dot: "1" + "2."
    EXPECT_EQ(ScaleDecimal("", 2), 0);
    // A comma is a decimal mark too; with both marks the last one is, the other is dropped.
    EXPECT_EQ(ScaleDecimal("3,50", 2), 350);
    EXPECT_EQ(ScaleDecimal("3,5", 2), 350);
    EXPECT_EQ(ScaleDecimal(",5", 2), 50);
    EXPECT_EQ(ScaleDecimal("-1,5", 2), -150);
    EXPECT_EQ(ScaleDecimal("12,345", 2), 1234);
    EXPECT_EQ(ScaleDecimal("1.234,50", 2), 123450);
    EXPECT_EQ(ScaleDecimal("1,234.50", 2), 123450);
    EXPECT_EQ(ScaleDecimal("1.234.567,5", 2), 123456750);
    // A huge decimal setting clamps like an overlong number and allocates nothing absurd.
    EXPECT_EQ(ScaleDecimal("1", 2'000'000'000), 2147483647);
    EXPECT_EQ(ScaleDecimal("0", 2'000'000'000), 0);
}

TEST(LeadingNumber, TakesTwoCharactersFromThreeOn)
{
    EXPECT_EQ(LeadingNumber("5"), 5);
    EXPECT_EQ(LeadingNumber("12"), 12);
    EXPECT_EQ(LeadingNumber("123"), 12);
    EXPECT_EQ(LeadingNumber(" 123"), 1);
    EXPECT_EQ(LeadingNumber(""), 0);
}

ColumnList fixedColumns(std::initializer_list<std::pair<std::size_t, std::string>> set,
                        std::size_t count = 49)
{
    ColumnList columns(count);
    for (const auto& [position, text] : set) {
        columns[position] = text;
    }
    return columns;
}

TEST(ParseLine, NumberFieldsReadOnlyInPartAreNotedButStillSent)
{
    // Separated: ID01 PLU, ID02 department, ID03 price, ID04 field 9, ID05 field 14.
    const Separated parser{{2, 1, 6, 9, 14}};
    const struct
    {
        ColumnList columns;
        int field; // 0: read whole
        std::string text;
        std::int64_t value;
    } cases[] = {
        {{"12", "3", "3.50", "5", "7"}, 0, "", 0},
        {{"12", " 3 ", "1.234,50", "123", ""}, 0, "", 0}, // blanks, grouping, field 9's two
        {{"12", "3", "12.345", "5", "-7"}, 0, "", 0},     // a cut fraction is no part read
        {{"12kg", "3", "1", "5", "7"}, 2, "12kg", 12},
        {{"12", "3", "n/a", "5", "7"}, 6, "n/a", 0},
        {{"12", "3", "3.5O", "5x", "7"}, 6, "3.5O", 35}, // the first of the line
        {{"12", "3", "1,234,5", "5", "7"}, 6, "1,234,5", 123},
        {{"12", "3", "1", "5x", "7"}, 9, "5x", 5},
        {{"12", "-", "1", "5", "7"}, 1, "-", 0},
        {{"12", "3", "1", "5", "0x1F"}, 14, "0x1F", 0},
    };
    for (const auto& c : cases) {
        PluRecord record;
        PartialRead partial;
        SeparatedParseInputs inputs{parser.fields, &parser.rules, false, 2};
        ASSERT_EQ(ParseSeparatedLine(kPluDataKind, record, c.columns, inputs, &partial), 3)
            << c.columns[0];
        EXPECT_EQ(partial.field, c.field) << c.columns[2];
        EXPECT_EQ(partial.text, c.text) << c.columns[2];
        EXPECT_EQ(partial.value, c.value) << c.columns[2];
    }
    // Fixed: the same rules over the fixed column order (18 is the price).
    PluRecord record;
    PartialRead partial;
    ASSERT_EQ(ParseFixedLine(kPluDataKind, record, fixedColumns({{1, "7"}, {18, "2,5O"}}), {}, 2,
                             &partial),
              3);
    EXPECT_EQ(partial.field, 6);
    EXPECT_EQ(bytesAt(record, 443, 4), 25u); // "2" + "5O" read the atoi way
}

TEST(ParseFixedLine, APriceWithADecimalMarkIsScaledOneWithoutIsInMinorUnits)
{
    const struct
    {
        const char* text;
        int decimals;
        std::uint64_t stored;
    } cases[] = {{"3.51", 2, 351},        {"3,51", 2, 351}, {"351", 2, 351}, {"3.5", 3, 3500},
                 {"1.234,56", 2, 123456}, {"3.51", 0, 3},   {"", 2, 0}};
    for (const auto& c : cases) {
        PluRecord record;
        ASSERT_EQ(ParseFixedLine(kPluDataKind, record, fixedColumns({{1, "7"}, {18, c.text}}), {},
                                 c.decimals),
                  3);
        EXPECT_EQ(bytesAt(record, 443, 4), c.stored) << c.text << " at " << c.decimals;
    }
}

TEST(ParseFixedLine, UsesTheFixedColumnOrderByteForByte)
{
    // Positions: 0 dept, 1 PLU, 3 item code, 4 name, 13 field 100, 14 field 3, 18 price,
    // 47 long text.
    const ColumnList columns = fixedColumns({{0, ""},
                                             {1, "4711"},
                                             {3, "99"},
                                             {4, "Pear"},
                                             {13, "65537"},
                                             {14, "KG"},
                                             {18, "2.50"},
                                             {47, "x\r\ny"}});
    PluRecord record = filledWith(0xAA);
    ASSERT_EQ(ParseFixedLine(kPluDataKind, record, columns, ReplaceRuleTable(), 2), 3);
    PluRecord expected;
    putBytes(expected, 0, 2, 1);
    putBytes(expected, 2, 4, 4711);
    putBytes(expected, 6, 1, 1); // field 4: empty, so 1
    putBytes(expected, 435, 4, 99);
    putText(expected, 7, "Pear");
    putBytes(expected, 420, 4, 1);
    putText(expected, 424, "KG");
    putBytes(expected, 443, 4, 250);  // "2.50" has a decimal mark: scaled to two decimals
    putText(expected, 693, "x\r\ny"); // length word stays 0
    EXPECT_EQ(firstDifference(record, expected), -1);
}

TEST(ParseFixedLine, ActionFieldNeedsExactlyOneAfterRules)
{
    const ReplaceRuleTable rules({{101, "", "D", "1"}});
    PluRecord record;
    EXPECT_EQ(ParseFixedLine(kPluDataKind, record, fixedColumns({{1, "1"}, {48, "1"}}), rules, 2),
              4);
    EXPECT_EQ(ParseFixedLine(kPluDataKind, record, fixedColumns({{1, "1"}, {48, "D"}}), rules, 2),
              4);
    for (const char* text : {"Y", "01", ""}) {
        EXPECT_EQ(
            ParseFixedLine(kPluDataKind, record, fixedColumns({{1, "1"}, {48, text}}), rules, 2), 3)
            << text;
    }
}

TEST(ParseFixedLine, AppliesRulesToEveryFieldAndTreatsMissingColumnsAsEmpty)
{
    const ReplaceRuleTable rules({{99, "", "", "note"}, {1, "", "", "8"}});
    PluRecord record;
    ASSERT_EQ(ParseFixedLine(kPluDataKind, record, {"", "12"}, rules, 2), 3);
    EXPECT_EQ(bytesAt(record, 0, 2), 8u);
    EXPECT_EQ(bytesAt(record, 2, 4), 12u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&record.bytes[693])), "note");
    EXPECT_EQ(bytesAt(record, 691, 2), 0u);
}

TEST(ParseFixedLine, PluNumberZeroLeavesTheBufferUntouched)
{
    for (const char* plu : {"0", "", "x1"}) {
        PluRecord record = filledWith(0xAA);
        EXPECT_EQ(ParseFixedLine(kPluDataKind, record, fixedColumns({{1, plu}}), {}, 2), 0);
        EXPECT_EQ(firstDifference(record, filledWith(0xAA)), -1);
    }
}

TEST(ReplaceRuleTable, KeepsAtMostTheRuleCapacity)
{
    std::vector<ReplaceRule> rules(120, ReplaceRule{5, "", "a", "b"});
    rules[101] = ReplaceRule{5, "", "z", "late"};
    const ReplaceRuleTable table(rules);
    EXPECT_EQ(table.size(), 101u);
    std::string text = "z";
    EXPECT_FALSE(table.ApplyReplaceRules(5, text));
    EXPECT_EQ(text, "z");
}

} // namespace
} // namespace ostrel
