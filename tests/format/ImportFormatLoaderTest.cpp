#include "format/ImportFormatLoader.h"

#include "TestSupport.h"
#include "platform/MessageBox.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace ostrel {
namespace {

using test::TempDir;
using test::writeFile;

class ImportFormatLoaderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(paths.configFolder);
        writeFile(paths.tarvikIni, "");
        writeFile(paths.structFile, "C=04DeptP=1.\nC=06PLU NoP=2.\nC=04NoneP=0.\nC=05PriceP=6.\n");
    }

    void writeRecords(const std::vector<FixedFieldDef>& defs)
    {
        std::filesystem::remove(paths.prsFile);
        ASSERT_TRUE(writePrsFile(paths.prsFile, defs));
    }

    TempDir dir;
    SettingsPaths paths = SettingsPaths::fromDocuments(dir.path());
    RecordingMessageSink messages;
    ImportFormatLoader loader{paths, messages};
    ImportFormat format;
};

TEST_F(ImportFormatLoaderTest, DefaultsOfAnEmptyRunFile)
{
    writeRecords({});
    ASSERT_TRUE(loader.LoadImportFormat(format, paths.tarvikIni));
    EXPECT_EQ(format.fileType, kSeparatedType);
    EXPECT_EQ(format.searchPattern, "");
    ASSERT_EQ(format.textSettings.size(), 4u);
    for (int kind = 1; kind <= 4; ++kind) {
        EXPECT_EQ(format.textSettings[kind - 1].kind, kind);
    }
    EXPECT_EQ(format.text(kTextSeparator), ",");
    EXPECT_EQ(format.text(kTextComment), "//");
    EXPECT_EQ(format.text(kTextQuote), "");
    EXPECT_EQ(format.text(kTextEnd), "");
    EXPECT_TRUE(messages.messages().empty());
}

TEST(ImportFormat, LastTextOfAKindCounts)
{
    ImportFormat format;
    format.textSettings = {{kTextSeparator, ","}, {kTextComment, "#"}, {kTextSeparator, ";"}};
    EXPECT_EQ(format.text(kTextSeparator), ";");
    EXPECT_EQ(format.text(kTextEnd), "");
}

TEST_F(ImportFormatLoaderTest, MissingRunFileChangesNothing)
{
    format.searchPattern = "kept";
    format.textSettings = {{kTextSeparator, ";"}};
    EXPECT_FALSE(loader.LoadImportFormat(format, paths.configFolder + "/Other.ini"));
    EXPECT_EQ(format.searchPattern, "kept");
    EXPECT_EQ(format.text(kTextSeparator), ";");
    EXPECT_TRUE(messages.messages().empty());
}

// An empty "CONFIG ROOT" names the product folder: no keys, so every default, never the
// empty format of a load that did not happen.
TEST_F(ImportFormatLoaderTest, AFolderAsRunFileGivesTheDefaults)
{
    writeRecords({});
    writeFile(paths.tarvikIni, "[PATH]\nCONFIG ROOT=\n");
    ImportFormat empty;
    empty.textSettings.clear();
    ASSERT_TRUE(loader.LoadImportFormat(empty, paths.productFolder));
    EXPECT_EQ(empty.fileType, kSeparatedType);
    EXPECT_EQ(empty.text(kTextSeparator), ",");
    EXPECT_EQ(empty.text(kTextComment), "//");
    ImportFormat viaKey;
    ASSERT_TRUE(loader.LoadImportFormat(viaKey)); // "CONFIG ROOT" looked up itself
    EXPECT_EQ(viaKey.text(kTextSeparator), ",");
    EXPECT_EQ(defaultImportFormat().text(kTextSeparator), ",");
    EXPECT_EQ(defaultImportFormat().text(kTextComment), "//");
}

TEST_F(ImportFormatLoaderTest, PathKeysFromTarvikIniLayoutKeysFromTheRunFile)
{
    writeRecords({});
    writeFile(paths.tarvikIni, "[PATH]\nCONFIG ROOT=/CONFIG/RUN.INI\nPLU ROOT=/data/\nPREFIX=PLU\n"
                               "EXTENTION=TXT\n[TYPE]\nFILETYPE=2\n[SEPARATE]\nSeparate=;\n");
    writeFile(paths.configFolder + "/Run.ini",
              "[SEPARATE]\nSeparate=0x7C\nComment=#\n[SEPA_STARTROW]\nString_symbol=\"\"\"\"\n"
              "End_symbol=$\n[PATH]\nPLU ROOT=/elsewhere\n");
    ASSERT_TRUE(loader.LoadImportFormat(format)); // looks "CONFIG ROOT" up itself
    EXPECT_EQ(format.searchPattern, "/data/PLU*.TXT");
    EXPECT_EQ(format.fileType, kSeparatedType);     // FILETYPE absent from the run file
    EXPECT_EQ(format.text(kTextSeparator), "0x7C"); // the splitter reads the code
    EXPECT_EQ(format.text(kTextComment), "#");
    EXPECT_EQ(format.text(kTextQuote), "\"\"");
    EXPECT_EQ(format.text(kTextEnd), "$");
}

TEST_F(ImportFormatLoaderTest, UseTabAndValueCut)
{
    writeRecords({});
    writeFile(paths.tarvikIni, "[TYPE]\nFILETYPE=2\n[SEPARATE]\nUseTab=1\nSeparate=|\nComment=" +
                                   std::string(200, 'c') + "\n");
    format.searchPattern = "from the run settings";
    ASSERT_TRUE(loader.LoadImportFormat(format, paths.tarvikIni));
    EXPECT_EQ(format.fileType, kFixedType);
    EXPECT_EQ(format.text(kTextSeparator), "\t");
    EXPECT_EQ(format.text(kTextComment), std::string(127, 'c'));
    EXPECT_EQ(format.searchPattern, ""); // incomplete PATH keys give no pattern
}

TEST_F(ImportFormatLoaderTest, ListedFieldsPairWithStoredDefinitionsInOrder)
{
    writeRecords({makeFixedFieldDef(1, "Dept", 0, 2), makeFixedFieldDef(2, "PLU No", 2, 6),
                  makeFixedFieldDef(6, "Price", 8, 5), makeFixedFieldDef(9, "extra", 1, 1)});
    ASSERT_TRUE(loader.LoadImportFormat(format, paths.tarvikIni));
    // The entry with field number 0 is not listed: "Price" takes the third definition.
    ASSERT_EQ(format.fixedFields.size(), 3u);
    EXPECT_EQ(format.fixedFields[1].fieldNumber, 2);
    EXPECT_EQ(format.fixedFields[1].start, 2);
    EXPECT_EQ(format.fixedFields[1].length, 6);
    EXPECT_EQ(format.fixedFields[2].fieldNumber, 6);
    EXPECT_EQ(format.fixedFields[2].start, 8);
    EXPECT_EQ(loader.storedDefinitions()[3].name, "extra");
    ASSERT_EQ(loader.fieldList().size(), 3u);
}

TEST_F(ImportFormatLoaderTest, MissingPrsFileWarnsAndKeepsDefinitionsInMemory)
{
    ASSERT_TRUE(loader.LoadImportFormat(format, paths.tarvikIni));
    const auto shown = messages.messages();
    ASSERT_EQ(shown.size(), 1u);
    const auto& message = shown[0];
    EXPECT_EQ(message.text, "File not found! : \"PLUPrs.prs\"");
    EXPECT_EQ(message.caption, "Ostrel");
    EXPECT_EQ(message.icon, MessageIcon::Warning);
    ASSERT_EQ(format.fixedFields.size(), 3u); // all zero: nothing was ever read
    EXPECT_EQ(format.fixedFields[0].fieldNumber, 1);
    EXPECT_EQ(format.fixedFields[0].length, 0);

    writeRecords({makeFixedFieldDef(1, "Dept", 0, 2)});
    ASSERT_TRUE(loader.LoadImportFormat(format, paths.tarvikIni));
    std::filesystem::remove(paths.prsFile);
    ASSERT_TRUE(loader.LoadImportFormat(format, paths.tarvikIni));
    EXPECT_EQ(messages.messages().size(), 2u);
    EXPECT_EQ(format.fixedFields[0].length, 2); // the last read definitions go on

    loader.setStoredDefinitions({makeFixedFieldDef(1, "Dept", 4, 4)}); // the window's OK
    ASSERT_TRUE(loader.LoadImportFormat(format, paths.tarvikIni));
    EXPECT_EQ(format.fixedFields[0].start, 4);
}

TEST_F(ImportFormatLoaderTest, MissingStructureFileLoadsNoFixedFields)
{
    writeRecords({makeFixedFieldDef(1, "Dept", 0, 2)});
    std::filesystem::remove(paths.structFile);
    ASSERT_TRUE(loader.LoadImportFormat(format, paths.tarvikIni));
    EXPECT_TRUE(format.fixedFields.empty());
    EXPECT_TRUE(loader.fieldList().empty());
}

} // namespace
} // namespace ostrel
