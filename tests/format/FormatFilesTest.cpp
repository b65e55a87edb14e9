#include "format/LayoutKeys.h"
#include "format/PluIdFile.h"
#include "format/PrsFile.h"
#include "settings/SearchPattern.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

using namespace std::string_literals;
using test::readFile;
using test::TempDir;
using test::writeFile;
using test::zeros;

TEST(PrsRecords, ByteLayout)
{
    const std::string expected = "\x0A\0\0\0"s + "Comm. Name(1)" + zeros(87) + "\x05\0\0\0"s +
                                 "\x14\0\0\0"s + "\x01\0\0\0"s +
                                 // field 2, no name, start -1, length 3: not defined
                                 "\x02\0\0\0"s + zeros(100) + "\xFF\xFF\xFF\xFF"s + "\x03\0\0\0"s +
                                 zeros(4);
    const std::vector<FixedFieldDef> defs = {makeFixedFieldDef(10, "Comm. Name(1)", 5, 20),
                                             makeFixedFieldDef(2, "", -1, 3)};
    EXPECT_EQ(serializePrsRecords(defs), expected);
    EXPECT_EQ(parsePrsRecords(expected), defs);
}

TEST(PrsRecords, DefinedFlagAndNameLimits)
{
    EXPECT_EQ(makeFixedFieldDef(1, "", 0, 1).defined, 1);
    EXPECT_EQ(makeFixedFieldDef(1, "", 0, 0).defined, 0);
    EXPECT_EQ(makeFixedFieldDef(1, "", -1, 5).defined, 0);

    const std::string bytes =
        serializePrsRecords({makeFixedFieldDef(1, std::string(150, 'a'), 0, 1)});
    EXPECT_EQ(bytes.substr(4, 100), std::string(99, 'a') + '\0');

    // A name slot without a terminator stops at the slot's end, not in the next field.
    std::string raw = "\x01\0\0\0"s + std::string(100, 'b') + "\x07\0\0\0"s + zeros(8);
    const auto defs = parsePrsRecords(raw);
    ASSERT_EQ(defs.size(), 1u);
    EXPECT_EQ(defs[0].name, std::string(100, 'b'));
    EXPECT_EQ(defs[0].start, 7);
}

TEST(PrsRecords, WholeRecordsOnlyAndAtMostOneHundred)
{
    EXPECT_EQ(parsePrsRecords(std::string(240, '\0')).size(), 2u); // the last 8 bytes ignored
    EXPECT_EQ(parsePrsRecords(std::string(115, '\0')).size(), 0u);
    EXPECT_EQ(parsePrsRecords(std::string(std::size_t{101} * 116, '\0')).size(), 100u);
}

TEST(PrsFile, SaveOverALongerFileKeepsItsTail)
{
    TempDir dir;
    const std::string path = dir.file("PLUPrs.prs");
    std::vector<FixedFieldDef> twelve;
    for (int i = 1; i <= 12; ++i) {
        twelve.push_back(makeFixedFieldDef(i, "old" + std::to_string(i), i, i));
    }
    ASSERT_TRUE(writePrsFile(path, twelve));
    std::vector<FixedFieldDef> ten;
    for (int i = 1; i <= 10; ++i) {
        ten.push_back(makeFixedFieldDef(i, "new", 0, 0));
    }
    ASSERT_TRUE(writePrsFile(path, ten));

    EXPECT_EQ(readFile(path).size(), 12u * 116u);
    const auto back = readPrsFile(path);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->size(), 12u);
    EXPECT_EQ((*back)[9].name, "new");
    EXPECT_EQ((*back)[10], twelve[10]);
    EXPECT_EQ((*back)[11], twelve[11]);
}

TEST(PrsFile, MissingFileOrFolder)
{
    TempDir dir;
    EXPECT_FALSE(readPrsFile(dir.file("PLUPrs.prs")));
    EXPECT_FALSE(writePrsFile(dir.file("no/PLUPrs.prs"), {makeFixedFieldDef(1, "a", 0, 1)}));
    writeFile(dir.file("empty.prs"), "");
    ASSERT_TRUE(readPrsFile(dir.file("empty.prs")));
    EXPECT_TRUE(readPrsFile(dir.file("empty.prs"))->empty());
}

TEST(PluIdFile, WriteLayoutAndLongerEarlierSave)
{
    TempDir dir;
    const std::string path = dir.file("PluID.ini");
    ASSERT_TRUE(writePluIdFile(path, {{5, "Unit Price"}, {12, "Name"}, {101, "Flag"}}));
    EXPECT_EQ(readFile(path), "[PLU ID]\nID01=0005\nID02=0012\nID03=0101\n"
                              "[PLU NAME]\nNAME01=Unit Price\nNAME02=Name\nNAME03=Flag\n");

    ASSERT_TRUE(writePluIdFile(path, {{2, "PLU No"}, {1, "Dept"}}));
    const auto columns = readPluIdFile(path);
    ASSERT_TRUE(columns);
    ASSERT_EQ(columns->size(), 3u); // ID03 of the earlier save is read back
    EXPECT_EQ((*columns)[0].idText, "0002");
    EXPECT_EQ((*columns)[0].fieldNumber(), 2);
    EXPECT_EQ((*columns)[2].name, "Flag");
    EXPECT_EQ(readPluIdFieldNumberTexts(path), (std::vector<std::string>{"0002", "0001", "0101"}));
}

TEST(PluIdFile, ReadStopsAtFirstAbsentOrEmptyId)
{
    EXPECT_EQ(pluIdFieldNumberTexts("[PLU ID]\nID01=0001\nID02=\nID03=0003\n"),
              (std::vector<std::string>{"0001"}));
    EXPECT_EQ(pluIdFieldNumberTexts("[PLU ID]\nID01=0001\nID03=0003\n").size(), 1u);
    EXPECT_EQ(pluIdFieldNumberTexts("[plu id]\nid01=7\n"), (std::vector<std::string>{"7"}));
    EXPECT_EQ(pluIdFieldNumberTexts("[PLU ID]\nID01=" + std::string(100, '1') + "\n", 64).front(),
              std::string(63, '1'));

    TempDir dir;
    EXPECT_FALSE(readPluIdFile(dir.file("PluID.ini"))); // the window keeps its list
    EXPECT_TRUE(readPluIdFieldNumberTexts(dir.file("PluID.ini")).empty());
}

TEST(SearchPattern, BuiltOnlyFromThreeTexts)
{
    EXPECT_EQ(buildSearchPattern("/data/", "PLU", "TXT"), "/data/PLU*.TXT");
    EXPECT_EQ(buildSearchPattern("/data", "PLU", "TXT"), "/data/PLU*.TXT");
    EXPECT_EQ(buildSearchPattern("", "PLU", "TXT"), "");
    EXPECT_EQ(buildSearchPattern("/data", "", "TXT"), "");
    EXPECT_EQ(buildSearchPattern("/data", "PLU", ""), "");
}

TEST(LayoutKeys, PathWriteKeepsFolderCaseAndUpperCasesNames)
{
    TempDir dir;
    const std::string ini = dir.file("Tarvik.ini");
    writeFile(ini, "[PATH]\nCONFIG ROOT=/CONFIG/TARVIK.INI\n");
    ASSERT_TRUE(writePathKeys(ini, "/home/Shop/plu", "plu\xC3\xBC", "txt"));
    EXPECT_EQ(readFile(ini), "[PATH]\nCONFIG ROOT=/CONFIG/TARVIK.INI\nPLU ROOT=/home/Shop/plu\n"
                             "PREFIX=PLU\xC3\xBC\nEXTENTION=TXT\n");
    EXPECT_EQ(readSearchPattern(ini), "/home/Shop/plu/PLU\xC3\xBC*.TXT");
    EXPECT_FALSE(writePathKeys(dir.file("no/Tarvik.ini"), "a", "b", "c"));
}

TEST(LayoutKeys, WindowDefaults)
{
    TempDir dir;
    writeFile(dir.file("Tarvik.ini"), "");
    const auto keys = readLayoutKeys(dir.file("Tarvik.ini"));
    EXPECT_EQ(keys.windowFileType(), 2); // FILETYPE absent: the fixed type is selected
    EXPECT_EQ(keys.startRow, "1");
    EXPECT_EQ(keys.separate, ",");
    EXPECT_EQ(keys.comment, "//");
    EXPECT_EQ(keys.useTab, "0");
    EXPECT_EQ(keys.itemIsPlu, "0");

    writeFile(dir.file("Tarvik.ini"), "[TYPE]\nFILETYPE=1\n[SEPARATE]\nSeparate=0x7C\n");
    EXPECT_EQ(readLayoutKeys(dir.file("Tarvik.ini")).windowFileType(), 1);
    EXPECT_EQ(readLayoutKeys(dir.file("Tarvik.ini")).separate, "0x7C");
}

} // namespace
} // namespace ostrel
