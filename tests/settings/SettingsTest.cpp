#include "settings/RunSettingsFile.h"
#include "settings/SettingsPaths.h"
#include "settings/UpdatePeriod.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>

namespace ostrel {
namespace {

using test::TempDir;
using test::writeFile;

TEST(SettingsPaths, ConcatenatesDocumentsAndRelativeTexts)
{
    const auto p = SettingsPaths::fromDocuments("/home/u/Documents");
    EXPECT_EQ(p.documents, "/home/u/Documents");
    EXPECT_EQ(p.productFolder, "/home/u/Documents/VEK/Ostrel");
    EXPECT_EQ(p.configFolder, "/home/u/Documents/VEK/Ostrel/Config");
    EXPECT_EQ(p.logFolder, "/home/u/Documents/VEK/Ostrel/Log");
    EXPECT_EQ(p.tarvikIni, "/home/u/Documents/VEK/Ostrel/Config/Tarvik.ini");
    EXPECT_EQ(p.pluIdIni, "/home/u/Documents/VEK/Ostrel/Config/PluID.ini");
    EXPECT_EQ(p.structFile, "/home/u/Documents/VEK/Ostrel/Config/plustruct.str");
    EXPECT_EQ(p.prsFile, "/home/u/Documents/VEK/Ostrel/Config/PLUPrs.prs");
    EXPECT_EQ(p.dataOptionIni, "/home/u/Documents/VEK/Ostrel/Config/DATAOPTION.INI");
    EXPECT_EQ(p.rulesFile, "/home/u/Documents/VEK/Ostrel/Config/plumatch.mch");
    EXPECT_EQ(p.logFile, "/home/u/Documents/VEK/Ostrel/Log/Ostrel.log");
}

TEST(UpdatePeriod, UnitsAndIntervals)
{
    EXPECT_EQ(computeUpdatePeriod("minutes", "5"), (UpdatePeriod{300, 300000}));
    EXPECT_EQ(computeUpdatePeriod("hours", "2"), (UpdatePeriod{7200, 7200000}));
    EXPECT_EQ(computeUpdatePeriod("days", "1"), (UpdatePeriod{86400, 86400000}));
    EXPECT_EQ(computeUpdatePeriod("minutes", "10abc").milliseconds, 600000u);
    EXPECT_EQ(computeUpdatePeriod("minutes", " 3").milliseconds, 180000u);
}

TEST(UpdatePeriod, UnknownUnitIsHoursAndCaseMatters)
{
    EXPECT_EQ(computeUpdatePeriod("weeks", "1").seconds, 3600u);
    EXPECT_EQ(computeUpdatePeriod("Minutes", "1").seconds, 3600u);
    EXPECT_EQ(computeUpdatePeriod("", "1").seconds, 3600u);
}

TEST(UpdatePeriod, ZeroNegativeAndOverflowRunNoRunawayTimer)
{
    EXPECT_FALSE(computeUpdatePeriod("minutes", "").timerRuns());
    EXPECT_FALSE(computeUpdatePeriod("minutes", "0").timerRuns());
    EXPECT_FALSE(computeUpdatePeriod("minutes", "abc").timerRuns());
    EXPECT_FALSE(computeUpdatePeriod("minutes", "-5").timerRuns());

    // 1193 hours still fit in 32-bit milliseconds; 1194 hours and 50 days do not.
    EXPECT_EQ(computeUpdatePeriod("hours", "1193").milliseconds, 4294800000u);
    EXPECT_EQ(computeUpdatePeriod("hours", "1194").milliseconds, 4294967295u);
    EXPECT_EQ(computeUpdatePeriod("days", "50"), (UpdatePeriod{4294967, 4294967295u}));
    EXPECT_EQ(computeUpdatePeriod("days", "99999999999").milliseconds, 4294967295u);
}

TEST(UpdatePeriod, ReadFromFileOrDefaults)
{
    TempDir dir;
    const std::string ini = dir.file("Tarvik.ini");
    writeFile(ini, "[CYCLE]\nUpdate Cycle=days\nUpdate Interval=2\n");
    EXPECT_EQ(readUpdatePeriod(ini).milliseconds, 172800000u);
    writeFile(ini, "");
    EXPECT_FALSE(readUpdatePeriod(ini).timerRuns());
}

class RunSettingsFilePath : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(paths.configFolder);
        writeFile(paths.tarvikIni, "");
    }
    TempDir dir;
    SettingsPaths paths = SettingsPaths::fromDocuments(dir.path());
};

TEST_F(RunSettingsFilePath, AbsentKeyUsesTarvikIniItself)
{
    EXPECT_EQ(runSettingsFilePath(paths), paths.tarvikIni);
}

TEST_F(RunSettingsFilePath, UpperCasedAndBackslashValuesFindTheFile)
{
    writeFile(paths.tarvikIni, "[PATH]\nCONFIG ROOT=/CONFIG/TARVIK.INI\n");
    EXPECT_EQ(runSettingsFilePath(paths), paths.tarvikIni);
    writeFile(paths.tarvikIni, "[PATH]\nCONFIG ROOT=\\CONFIG\\TARVIK.INI\n");
    EXPECT_EQ(runSettingsFilePath(paths), paths.tarvikIni);
    writeFile(paths.tarvikIni, "[PATH]\nCONFIG ROOT=/Config/Other.ini\n");
    EXPECT_EQ(runSettingsFilePath(paths), paths.configFolder + "/Other.ini");
}

TEST_F(RunSettingsFilePath, EmptyValueUsesTarvikIniItself)
{
    // Read from the product folder (a directory), every layout key would take its default.
    writeFile(paths.tarvikIni, "[PATH]\nCONFIG ROOT=\n");
    EXPECT_EQ(runSettingsFilePath(paths), paths.tarvikIni);
}

TEST_F(RunSettingsFilePath, ConfigurationFieldRoundTripKeepsCase)
{
    writeFile(paths.tarvikIni, "[PATH]\nCONFIG ROOT=/Config/Tarvik.ini\n");
    const std::string field = configFileFieldText(paths);
    EXPECT_EQ(field, paths.tarvikIni);
    EXPECT_EQ(configRootForSave(field, paths), "/Config/Tarvik.ini");

    std::string shouted = paths.productFolder;
    for (char& c : shouted) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    EXPECT_EQ(configRootForSave(shouted + "/Config/Tarvik.ini", paths), "/Config/Tarvik.ini");
}

TEST_F(RunSettingsFilePath, RunSettingsValuesInOneRead)
{
    writeFile(paths.tarvikIni, "[CYCLE]\nUpdate Cycle=minutes\nUpdate Interval=5\n"
                               "[PATH]\nPLU ROOT=/data\nPREFIX=PLU\nEXTENTION=TXT\n"
                               "[SENDFILE]\nCREATEDATE=20260102030405 and more text\n"
                               "[TYPE]\nFILETYPE=2\n[IPLIST]\nIP000=10.0.0.1:20304,S\n");
    const auto values = readRunSettingsValues(paths);
    ASSERT_TRUE(values);
    EXPECT_EQ(values->period.seconds, 300u);
    EXPECT_EQ(values->runSettingsFile, paths.tarvikIni);
    EXPECT_EQ(values->searchPattern, "/data/PLU*.TXT");
    EXPECT_EQ(values->createDate, "20260102030405 and ");
    EXPECT_EQ(values->fileType, 2);
    ASSERT_EQ(values->scales.size(), 1u);
    EXPECT_EQ(values->scales[0].port, 20304);

    std::filesystem::remove(paths.tarvikIni);
    EXPECT_FALSE(readRunSettingsValues(paths));
}

} // namespace
} // namespace ostrel
