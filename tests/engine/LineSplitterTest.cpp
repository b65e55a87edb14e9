#include "engine/LineSplitter.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

LineSplitter separated(std::string separator, std::string comment = "//", std::string quote = "",
                       std::string end = "")
{
    ImportFormat format;
    format.fileType = kSeparatedType;
    format.textSettings = {{kTextSeparator, std::move(separator)},
                           {kTextComment, std::move(comment)},
                           {kTextQuote, std::move(quote)},
                           {kTextEnd, std::move(end)}};
    return LineSplitter(format);
}

ColumnList split(const LineSplitter& splitter, std::string_view line, int expectedResult)
{
    ColumnList columns;
    EXPECT_EQ(splitter.SplitLine(line, columns), expectedResult) << line;
    return columns;
}

TEST(SplitSeparated, QuotesProtectSeparatorsAndAreRemoved)
{
    const auto splitter = separated(",", "//", "'");
    EXPECT_EQ(split(splitter, "12,'Milk, fresh',1.99", 3),
              (ColumnList{"12", "Milk, fresh", "1.99"}));
    EXPECT_EQ(split(splitter, "'a//b',c", 2), (ColumnList{"a//b", "c"}));
    // An unclosed quote runs to the end of the line.
    EXPECT_EQ(split(splitter, "1,'x,y", 2), (ColumnList{"1", "x,y"}));
}

TEST(SplitSeparated, CommentDropsTheColumnBeingCollected)
{
    const auto splitter = separated(",");
    EXPECT_EQ(split(splitter, "1,Apple//note", 1), (ColumnList{"1"}));
    EXPECT_TRUE(split(splitter, "//note", 0).empty());
    EXPECT_EQ(split(splitter, "1,Apple/x", 2), (ColumnList{"1", "Apple/x"}));
}

TEST(SplitSeparated, EmptyColumnsAndTheTrailingSeparator)
{
    const auto splitter = separated(",");
    EXPECT_EQ(split(splitter, "a,b,", 2), (ColumnList{"a", "b"}));
    EXPECT_EQ(split(splitter, "a,,b", 3), (ColumnList{"a", "", "b"}));
    EXPECT_EQ(split(splitter, ",", 1), (ColumnList{""}));
    // Only the last column loses its leading white space.
    EXPECT_EQ(split(splitter, " a, b,  c ", 3), (ColumnList{" a", " b", "c "}));
    EXPECT_EQ(split(splitter, "a,   ", 2), (ColumnList{"a", ""}));
}

TEST(SplitSeparated, HexSeparatorMatchesOneByteAnywhere)
{
    EXPECT_EQ(split(separated("0x7C"), "a|b||c", 4), (ColumnList{"a", "b", "", "c"}));
    EXPECT_EQ(split(separated("0x09"), "1\t0x09\t2", 3), (ColumnList{"1", "0x09", "2"}));
    EXPECT_EQ(split(separated("::"), "a::b:c", 2), (ColumnList{"a", "b:c"}));
    EXPECT_EQ(split(separated("\t"), "a\tb", 2), (ColumnList{"a", "b"}));
}

TEST(SplitSeparated, EndSymbolEndsTheLineOutsideQuotes)
{
    const auto splitter = separated(",", "//", "\"", ";");
    EXPECT_EQ(split(splitter, "a,  b;c,d", 2), (ColumnList{"a", "b"}));
    EXPECT_EQ(split(splitter, "a,\"b;c\",d", 3), (ColumnList{"a", "b;c", "d"}));
    // Right after a separator the end symbol still appends the (empty) column.
    EXPECT_EQ(split(splitter, "a,;", 2), (ColumnList{"a", ""}));
}

TEST(SplitSeparated, LastSettingOfAKindCounts)
{
    ImportFormat format;
    format.textSettings = {{kTextSeparator, ","}, {kTextSeparator, ";"}};
    EXPECT_EQ(split(LineSplitter(format), "a,b;c", 2), (ColumnList{"a,b", "c"}));
}

TEST(SplitFixed, OneTrimmedColumnPerDefinition)
{
    ImportFormat format;
    format.fileType = kFixedType;
    format.fixedFields = {{1, 0, 4}, {2, 4, 6}, {10, 10, 5}, {11, -2, 5}, {12, 3, -1}, {13, 0, 0}};
    const LineSplitter splitter(format);
    //                                     0123456789ab
    EXPECT_EQ(split(splitter, " 12 4711  AB", 1), (ColumnList{"12", "4711", "", "", "", ""}));
    EXPECT_EQ(split(splitter, "", 1), (ColumnList(6)));
    EXPECT_EQ(split(splitter, "abcdefghijklmno", 1),
              (ColumnList{"abcd", "efghij", "klmno", "", "", ""}));
}

TEST(SplitFixed, NoDefinedFieldYieldsZero)
{
    ImportFormat format;
    format.fileType = kFixedType;
    format.fixedFields = {{1, 0, 0}, {2, 0, 0}};
    EXPECT_EQ(split(LineSplitter(format), "1234", 0).size(), 2u);
    format.fixedFields.clear();
    EXPECT_TRUE(split(LineSplitter(format), "1234", 0).empty());
}

} // namespace
} // namespace ostrel
