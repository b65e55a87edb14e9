#include "rules/RulesFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

using namespace std::string_literals;
using test::readFile;
using test::TempDir;
using test::writeFile;
using test::zeros;

TEST(RulesRecord, ByteLayout)
{
    const std::string expected = "\x05\x01\0\0"s + "Unit Price" + zeros(90) + "A" + zeros(99) +
                                 "B\xE9" + zeros(98) + "\xFF\xFF\xFF\xFF"s +
                                 zeros(300); // field -1, empty texts
    const std::vector<ReplaceRule> rules = {{261, "Unit Price", "A", "B\xE9"}, {-1, "", "", ""}};
    EXPECT_EQ(serializeRules(rules), expected);
    EXPECT_EQ(parseRules(expected), rules);
}

TEST(RulesRecord, TextsAreCutTo99BytesAndZeroFilled)
{
    const std::string bytes =
        serializeRules({{1, std::string(120, 'n'), std::string(99, 'f'), std::string(100, 'r')}});
    ASSERT_EQ(bytes.size(), kRuleRecordSize);
    EXPECT_EQ(bytes.substr(4, 100), std::string(99, 'n') + '\0');
    EXPECT_EQ(bytes.substr(104, 100), std::string(99, 'f') + '\0');
    EXPECT_EQ(bytes.substr(204, 100), std::string(99, 'r') + '\0');

    // Readers stop at the first zero byte; what follows it carries no meaning.
    std::string stale = bytes;
    stale.replace(104, 3, "ab\0"s);
    EXPECT_EQ(parseRules(stale)[0].findText, "ab");
}

TEST(RulesRecord, WholeRecordsOnlyAndAtMost101)
{
    EXPECT_TRUE(parseRules("").empty());
    EXPECT_EQ(parseRules(zeros(std::size_t{2} * 304 + 100)).size(),
              2u); // partial last record ignored
    EXPECT_EQ(parseRules(zeros(303)).size(), 0u);
    EXPECT_EQ(parseRules(zeros(std::size_t{105} * 304)).size(), 101u);
    EXPECT_EQ(parseRules(zeros(std::size_t{5} * 304), 3).size(), 3u);

    // An unterminated text never runs into the next slot.
    const auto rules = parseRules("\x01\0\0\0"s + std::string(300, 'x'));
    EXPECT_EQ(rules[0].fieldName, std::string(100, 'x'));
    EXPECT_EQ(rules[0].replaceText, std::string(100, 'x'));
}

TEST(RulesFile, ThreeRecordsRoundTrip)
{
    TempDir dir;
    const std::string path = dir.file("plumatch.mch");
    const std::vector<ReplaceRule> rules = {
        {5, "Unit Price", "A", "100"}, {10, "Comm. Name(1)", "Apple", "Pomme"}, {5, "", "A", "2"}};
    ASSERT_TRUE(writeRulesFile(path, rules));
    const std::string bytes = readFile(path);
    EXPECT_EQ(bytes.size(), 912u);
    EXPECT_EQ(readRulesFile(path), rules);

    ASSERT_TRUE(writeRulesFile(path, readRulesFile(path)));
    EXPECT_EQ(readFile(path), bytes);
}

TEST(RulesFile, NoFileOrEmptyFileMeansNoRules)
{
    TempDir dir;
    EXPECT_TRUE(readRulesFile(dir.file("plumatch.mch")).empty());
    writeFile(dir.file("plumatch.mch"), "");
    EXPECT_TRUE(readRulesFile(dir.file("plumatch.mch")).empty());
    EXPECT_FALSE(writeRulesFile(dir.file("no/plumatch.mch"), {{1, "", "a", "b"}}));

    ASSERT_TRUE(writeRulesFile(dir.file("plumatch.mch"), {}));
    EXPECT_EQ(readFile(dir.file("plumatch.mch")), "");
}

} // namespace
} // namespace ostrel
