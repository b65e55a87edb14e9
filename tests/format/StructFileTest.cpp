#include "format/StructFile.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

struct LineCase
{
    const char* line;
    bool ignored;
    const char* name;
    int fieldNumber;
};

TEST(StructLine, GrammarTable)
{
    const LineCase cases[] = {
        {"C=04AbcdP=1F.L=8.\n", false, "Abcd", 31}, // the name is exactly 4 characters
        {"P=8001.C=02Xy\n", false, "Xy", 1},        // bit 15 is a flag
        {"P=18001.C=02Xy\n", false, "Xy", 1},       // cut to 16 bits first
        {"C=03Abc", true, "", 0},                   // 7 characters
        {"C=03Abc\n", true, "", 0},
        {"C=01AP=2.", true, "", 0},     // 9 characters
        {"C=01AP=2.\n", false, "A", 2}, // 10 with the line end
        {";C=04AbcdP=1F.", true, "", 0},
        {"C=04AbcdX=1.P=1F.", false, "Abcd", 0}, // unknown letter ends the parse
        {"c=04AbcdP=1F.", false, "", 0},         // letters are case-sensitive
        {"Pxy=fF.C=02Ab", false, "Ab", 255},     // text before '=' skipped; lower-case hex
        {"U=xP=0A.C=02Hi", false, "Hi", 10},     // U skips one character
        {"D=FFFFFFFFF.S=1FF.i=12.P=5.", false, "", 5},
        {"M=1.N=2.O=3.L=4.Z=5.P=6.", false, "", 6},
        {"C=0GAbcdefgh", false, "", 0},       // count stops at the non-hex digit
        {"P=1F\r\nXXXXXXXX", false, "", 31},  // no dot: the line end ends the value
        {"C=10Short\n", false, "Short\n", 0}, // the line ends before the count
        {"P=7.C=02Ab P=3.", false, "Ab", 7},  // a blank after the name is no key
        {"C=02AbP=3 .", false, "Ab", 3},
        {"P=9.C=05Ab", false, "Ab", 9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const auto entry = parseStructLine(c.line);
        ASSERT_EQ(!entry, c.ignored);
        if (entry) {
            EXPECT_EQ(entry->name, c.name);
            EXPECT_EQ(entry->fieldNumber, c.fieldNumber);
        }
    }
}

TEST(StructLine, LongNamesAndLongLines)
{
    const std::string longName(80, 'n');
    auto entry = parseStructLine("C=50" + longName + "P=7.");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->name, std::string(63, 'n')); // all 80 consumed, 63 kept
    EXPECT_EQ(entry->fieldNumber, 7);

    // Only the first 1023 characters of a line are read.
    std::string filler;
    for (int i = 0; i < 338; ++i) {
        filler += "U=x";
    }
    entry = parseStructLine("C=02Ab" + filler + "P=5.");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->fieldNumber, 5); // "P=5" ends at character 1023
    entry = parseStructLine("C=02Ab" + filler + "U=xP=5.");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->fieldNumber, 0);
}

TEST(StructText, LinesCountsAndFieldList)
{
    std::string text =
        "; header\r\n\r\nC=04DeptP=1.\r\nC=04NoneP=0.\nC=05Wide P=42.\nC=03BigP=102.\n"
        "C=06PLU NoP=2.";
    const auto entries = parseStructText(text);
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[0].name, "Dept");

    const auto fields = buildPluFieldList(entries);
    ASSERT_EQ(fields.size(), 3u); // field numbers 0 and 258 are not listed
    EXPECT_EQ(fields[0], (PluField{1, "Dept"}));
    EXPECT_EQ(fields[1], (PluField{66, "Wide"})); // trailing blank removed
    EXPECT_EQ(fields[2], (PluField{2, "PLU No"}));
}

TEST(StructText, LimitsOfEntriesAndFields)
{
    std::string text;
    for (int i = 0; i < 120; ++i) {
        text += "C=02AbP=" + std::to_string(1 + i % 9) + ".\n";
    }
    EXPECT_EQ(parseStructText(text).size(), 101u);
    EXPECT_EQ(buildPluFieldList(parseStructText(text)).size(), 100u);

    // An entry with no usable field number still counts against the 101.
    std::string zeros;
    for (int i = 0; i < 101; ++i) {
        zeros += "C=02AbP=0.\n";
    }
    EXPECT_TRUE(buildPluFieldList(parseStructText(zeros + "C=02AbP=1.\n")).empty());

    // The rest of an over-long line is not a line of its own.
    const std::string longLine = std::string(1100, 'x') + "C=02AbP=1.\n";
    EXPECT_EQ(parseStructText(longLine).size(), 1u);
    EXPECT_TRUE(buildPluFieldList(parseStructText(longLine)).empty());
}

} // namespace
} // namespace ostrel
