#include "format/ConfigTemplate.h"

#include "TestSupport.h"
#include "format/ImportFormatLoader.h"
#include "format/PluIdFile.h"
#include "format/PrsFile.h"
#include "format/StructFile.h"
#include "platform/IniFile.h"
#include "platform/MessageBox.h"
#include "settings/RunSettingsFile.h"
#include "settings/SettingsPaths.h"
#include "settings/TarvikKeys.h"
#include "settings/UpdatePeriod.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace ostrel {
namespace {

using test::readFile;
using test::ScopedEnv;
using test::TempDir;
using test::writeFile;

std::string sourceTemplateDir()
{
    const char* source = std::getenv("OSTREL_SOURCE_DIR");
    return std::string(source ? source : ".") + "/packaging/config-template";
}

TEST(ConfigTemplate, StructureListGivesTheFixedColumnOrder)
{
    const auto fields = readPluFieldList(sourceTemplateDir() + "/plustruct.str");
    const std::vector<int> expected = {1,   2,  4,  11, 10, 30, 31, 9,  49, 80, 81, 55, 5,
                                       100, 3,  14, 15, 26, 6,  91, 8,  13, 12, 24, 23, 85,
                                       86,  20, 18, 19, 16, 17, 22, 25, 35, 50, 70, 90, 71,
                                       69,  64, 68, 60, 61, 65, 62, 66, 99, 101};
    ASSERT_EQ(fields.size(), expected.size());
    for (std::size_t i = 0; i < fields.size(); ++i) {
        EXPECT_EQ(fields[i].number, expected[i]) << "position " << i;
        EXPECT_FALSE(fields[i].name.empty());
    }
    EXPECT_EQ(fields[0].name, "Dept");
    EXPECT_EQ(fields[1].name, "PLU No");
    EXPECT_EQ(fields[4].name, "Comm. Name(1)");
    EXPECT_EQ(fields[4].number, 10);
}

TEST(ConfigTemplate, TarvikIniShowsEveryKey)
{
    using namespace tarvik;
    const std::string text = readFile(sourceTemplateDir() + "/Tarvik.ini");
    for (const std::string_view key : {kKeyConfigRoot,
                                       kKeyPluRoot,
                                       kKeyPrefix,
                                       kKeyExtension,
                                       kKeyUpdateCycle,
                                       kKeyUpdateInterval,
                                       kKeyDecimalPoint,
                                       kKeyFileType,
                                       kKeyCreateDate,
                                       kKeyScanPort,
                                       kKeySeparate,
                                       kKeyComment,
                                       kKeyUseTab,
                                       kKeyItemIsPlu,
                                       kKeyStartRow,
                                       kKeyStringSymbol,
                                       kKeyEndSymbol,
                                       kKeyOnlyChanged,
                                       kKeyFullEveryDays,
                                       kKeyEncoding,
                                       std::string_view("IP000"),
                                       std::string_view("192.168.000.005")}) {
        const std::string line = std::string(key) + "=";
        EXPECT_TRUE(text.find("\n" + line) != std::string::npos ||
                    text.find("\n;" + line) != std::string::npos)
            << key;
    }
}

TEST(ConfigTemplate, FindsTheFolderFromTheEnvironmentFirst)
{
    TempDir dir;
    {
        ScopedEnv env("OSTREL_TEMPLATE_DIR", dir.path());
        EXPECT_EQ(findConfigTemplateDir(), dir.path());
    }
    ScopedEnv env("OSTREL_TEMPLATE_DIR", dir.file("missing"));
    EXPECT_FALSE(findConfigTemplateDir().empty()); // falls back to the installed or source copy
}

TEST(ConfigTemplate, InstallCreatesAWorkingSettingsFolder)
{
    TempDir documents;
    const auto report = installConfigTemplate(sourceTemplateDir(), documents.path());
    ASSERT_TRUE(report.ok) << report.error;
    EXPECT_EQ(report.created.size(), 4u);

    const auto paths = SettingsPaths::fromDocuments(documents.path());
    EXPECT_TRUE(std::filesystem::is_directory(paths.logFolder));
    EXPECT_EQ(runSettingsFilePath(paths), paths.tarvikIni);
    EXPECT_TRUE(readUpdatePeriod(paths.tarvikIni).timerRuns());
    EXPECT_EQ(readProfileString("COMMUNICATION", "SCAN PORT", "", 512, paths.tarvikIni), "20304");
    EXPECT_EQ(readPluIdFieldNumberTexts(paths.pluIdIni).front(), "0001");

    const std::string prs = readFile(paths.prsFile);
    ASSERT_EQ(prs.size(), 49u * 116u);
    const auto defs = parsePrsRecords(prs);
    EXPECT_EQ(defs[0], (FixedFieldDef{1, "Dept", 0, 0, 0}));
    EXPECT_EQ(defs[48].fieldNumber, 101);

    RecordingMessageSink messages;
    ImportFormatLoader loader(paths, messages);
    ImportFormat format;
    EXPECT_TRUE(loader.LoadImportFormat(format));
    EXPECT_TRUE(messages.messages().empty());
    EXPECT_EQ(format.fixedFields.size(), 49u);
    EXPECT_EQ(format.text(kTextSeparator), ",");
}

TEST(ConfigTemplate, InstallNeverOverwrites)
{
    TempDir documents;
    const auto paths = SettingsPaths::fromDocuments(documents.path());
    std::filesystem::create_directories(paths.configFolder);
    writeFile(paths.tarvikIni, "[PATH]\nPLU ROOT=/mine\n");
    writeFile(paths.prsFile, "x");

    const auto report = installConfigTemplate(sourceTemplateDir(), documents.path());
    ASSERT_TRUE(report.ok) << report.error;
    EXPECT_EQ(readFile(paths.tarvikIni), "[PATH]\nPLU ROOT=/mine\n");
    EXPECT_EQ(readFile(paths.prsFile), "x");
    EXPECT_EQ(report.kept.size(), 2u);
    EXPECT_TRUE(std::filesystem::exists(paths.structFile));

    const auto again = installConfigTemplate(sourceTemplateDir(), documents.path());
    EXPECT_TRUE(again.created.empty());
}

TEST(ConfigTemplate, MissingTemplateIsReported)
{
    TempDir documents;
    const auto report = installConfigTemplate(documents.file("none"), documents.path());
    EXPECT_FALSE(report.ok);
    EXPECT_FALSE(report.error.empty());
}

} // namespace
} // namespace ostrel
