#include "settings/ConfigForm.h"
#include "settings/ScaleInput.h"
#include "settings/ScaleTable.h"

#include "TestSupport.h"
#include "settings/SettingsPaths.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace ostrel {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

class ConfigSave : public ::testing::Test
{
protected:
    ConfigSave()
    {
        std::filesystem::create_directories(paths.configFolder);
        writeFile(paths.tarvikIni, "[PATH]\nPLU ROOT=/data\n");
    }

    ConfigFormTexts form()
    {
        ConfigFormTexts texts;
        texts.configFile = paths.productFolder + "/Config/Tarvik.ini";
        texts.cycle = "minutes";
        texts.interval = "5";
        texts.decimalPoint = "2";
        return texts;
    }

    TempDir dir;
    SettingsPaths paths = SettingsPaths::fromDocuments(dir.path());
};

TEST_F(ConfigSave, EmptyIntervalStopsAfterConfigRootAndCycle)
{
    auto texts = form();
    texts.interval.clear();
    const auto result = saveConfigForm(paths, texts, {{"10.0.0.1", "20304", "A", "QV7100", ""}});
    EXPECT_EQ(result.outcome, ConfigSaveOutcome::CheckData);
    EXPECT_FALSE(result.decimalPointWritten);
    EXPECT_EQ(readFile(paths.tarvikIni), "[PATH]\nPLU ROOT=/data\nCONFIG ROOT=/Config/Tarvik.ini\n"
                                         "[CYCLE]\nUpdate Cycle=minutes\n");
}

TEST_F(ConfigSave, EmptyCycleStopsAfterConfigRoot)
{
    auto texts = form();
    texts.cycle.clear();
    EXPECT_EQ(saveConfigForm(paths, texts, {}).outcome, ConfigSaveOutcome::CheckData);
    EXPECT_EQ(readFile(paths.tarvikIni),
              "[PATH]\nPLU ROOT=/data\nCONFIG ROOT=/Config/Tarvik.ini\n");
}

TEST_F(ConfigSave, FieldEmptyOrNamingNothingWritesNothing)
{
    const std::string before = readFile(paths.tarvikIni);
    auto texts = form();
    texts.configFile.clear();
    EXPECT_EQ(saveConfigForm(paths, texts, {}).outcome, ConfigSaveOutcome::NotSaved);
    texts.configFile = paths.productFolder + "/Config/Missing.ini";
    EXPECT_EQ(saveConfigForm(paths, texts, {}).outcome, ConfigSaveOutcome::NotSaved);
    EXPECT_EQ(readFile(paths.tarvikIni), before);
}

TEST_F(ConfigSave, ThreeRowsFillThreeSlotsAndEmptyTheRest)
{
    const std::vector<ScaleListColumns> rows{{"10.0.0.1", "20304", "Deli", "QV7100", "1.2.3,4,5"},
                                             {"10.0.0.2", "40000", "Meat", "QV7600", ""},
                                             {"192.168.0.5", "20304", "Fish", "TZ47", ""}};
    const auto result = saveConfigForm(paths, form(), rows);
    EXPECT_EQ(result.outcome, ConfigSaveOutcome::Completed);
    EXPECT_TRUE(result.decimalPointWritten);
    const std::string text = readFile(paths.tarvikIni);
    EXPECT_NE(text.find("[CYCLE]\nUpdate Cycle=minutes\nUpdate Interval=5\nDecimal Point=2\n"),
              std::string::npos);
    EXPECT_NE(text.find("[IPLIST]\nIP000=10.0.0.1:20304,S\nIP001=10.0.0.2:40000,S\n"
                        "IP002=192.168.0.5:20304,S\nIP003=\n"),
              std::string::npos);
    EXPECT_NE(text.find("IP099=\n"), std::string::npos);
    EXPECT_NE(text.find("[MODEL]\nIP000=QV7100\nIP001=QV7600\nIP002=TZ47\nIP003=\n"),
              std::string::npos);
    EXPECT_NE(text.find("[IPNAME]\n010.000.000.001=Deli\n010.000.000.002=Meat\n"
                        "192.168.000.005=Fish\n"),
              std::string::npos);

    // Read back as the window loads it: the port of 40000 comes back unchanged.
    ScaleTable table;
    table.load(readScaleListForWindow(paths.tarvikIni));
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(table.rows()[1].columns.port, "40000");
    EXPECT_EQ(table.rows()[2].columns.name, "Fish");
    EXPECT_EQ(loadConfigForm(paths).configFile, paths.productFolder + "/Config/Tarvik.ini");
}

TEST_F(ConfigSave, AWriteThatFailsIsReportedNotCompleted)
{
    // The product folder still exists, so Save goes ahead, but Tarvik.ini's folder is gone.
    std::filesystem::remove_all(paths.configFolder);
    auto texts = form();
    texts.configFile = paths.productFolder;
    EXPECT_EQ(saveConfigForm(paths, texts, {}).outcome, ConfigSaveOutcome::Failed);
}

TEST(ConfigRoot, RemovesTheProductFolderIgnoringCaseAndKeepsTheRest)
{
    EXPECT_EQ(configRootFromField("/home/Ann/Documents/VEK/Ostrel/Config/Tarvik.ini",
                                  "/home/ann/documents/vek/ostrel"),
              "/Config/Tarvik.ini");
    EXPECT_EQ(
        configRootFromField("/home/ann/Documents/VEK/Ostrel", "/home/ann/Documents/VEK/Ostrel"),
        "");
    EXPECT_EQ(configRootFromField("/x/Tarvik.ini", "/home/ann/Documents/VEK/Ostrel"),
              "/x/Tarvik.ini");
}

TEST(CycleList, StoredCycleIgnoringCaseDefaultHoursAndNoMatch)
{
    TempDir dir;
    const std::string ini = dir.file("Tarvik.ini");
    EXPECT_EQ(storedCycleIndex(ini), 1); // absent: "hours"
    writeFile(ini, "[CYCLE]\nUpdate Cycle=DAYS\n");
    EXPECT_EQ(storedCycleIndex(ini), 2);
    writeFile(ini, "[CYCLE]\nUpdate Cycle=weeks\n");
    EXPECT_EQ(storedCycleIndex(ini), -1);
}

TEST(Caption, EscapesAndFilePath)
{
    EXPECT_EQ(unescapeCaption(R"(a\\b\nc\rd\te\qf\)"), "a\\b\nc\rd\tef");
    EXPECT_EQ(captionFilePath("/opt/ostrel", ""), "/opt/ostrel/config/config_.cap");

    TempDir dir;
    std::filesystem::create_directories(dir.path() + "/config");
    writeFile(dir.path() + "/config/config_.cap", "[SCAN]\nCONNECT=Linked\\tOK\n");
    EXPECT_EQ(captionLookup(dir.path(), "", "SCAN", "CONNECT", "Connected"), "Linked\tOK");
    EXPECT_EQ(captionLookup(dir.path(), "", "SCAN", "OTHER", "Connected"), "Connected");
}

TEST(ScaleTableRules, SameIpIsFoundOnThePaddedForm)
{
    ScaleTable table;
    ASSERT_EQ(table.add({"10.0.0.1", "20304", "A", "QV7100", ""}), ScaleTable::AddResult::Added);
    ASSERT_EQ(table.add({"10.0.0.2", "20304", "B", "QV7100", ""}), ScaleTable::AddResult::Added);
    EXPECT_EQ(table.add({"010.000.000.001", "1", "C", "QV7100", ""}),
              ScaleTable::AddResult::SameIp);
    EXPECT_EQ(table.size(), 2u);

    // Edit keeps its own address, but may not take another row's.
    EXPECT_EQ(table.edit(0, {"10.0.0.1", "40000", "A2", "QV7300", ""}),
              ScaleTable::EditResult::Edited);
    EXPECT_EQ(table.rows()[0].columns.port, "40000");
    EXPECT_EQ(table.edit(0, {"10.0.0.2", "1", "A3", "QV7300", ""}), ScaleTable::EditResult::SameIp);
    EXPECT_EQ(table.rows()[0].columns.name, "A2");
    EXPECT_EQ(table.edit(5, {"10.0.0.9", "1", "", "", ""}), ScaleTable::EditResult::NoRow);
}

TEST(ScaleTableRules, DeleteChecksToggleAndTheHundredFirstRow)
{
    ScaleTable table;
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(table.add({"10.0.1." + std::to_string(i), "1", "", "", ""}),
                  ScaleTable::AddResult::Added);
    }
    EXPECT_EQ(table.add({"10.0.2.1", "1", "", "", ""}), ScaleTable::AddResult::Full);

    table.toggleChecks(); // row 0 unchecked: all set
    EXPECT_EQ(table.checkedCount(), 100u);
    table.toggleChecks(); // row 0 checked: all cleared
    EXPECT_EQ(table.checkedCount(), 0u);

    table.setChecked(1, true);
    table.setChecked(3, true);
    table.removeChecked();
    ASSERT_EQ(table.size(), 98u);
    EXPECT_EQ(table.rows()[1].columns.address, "10.0.1.2");
    EXPECT_EQ(table.rows()[2].columns.address, "10.0.1.4");
}

TEST(ScaleInputRules, ModelSelectionAndAddressCheck)
{
    EXPECT_EQ(scaleInputModelIndex(""), 0);
    EXPECT_EQ(scaleInputModelIndex("qv7100m"), 1);
    EXPECT_EQ(scaleInputModelIndex("QV76"), 3);
    EXPECT_EQ(scaleInputModelIndex("TZ47"), 0);

    EXPECT_FALSE(checkScaleInput({"10", "0", "0", "1"}, "20304"));
    EXPECT_FALSE(checkScaleInput({"255", "255", "255", "255"}, "65535"));
    EXPECT_EQ(checkScaleInput({"10", "", "0", "1"}, "20304"), kIncompleteAddressMessage);
    EXPECT_EQ(checkScaleInput({"10", "256", "0", "1"}, "20304"), kIncompleteAddressMessage);
    EXPECT_EQ(checkScaleInput({"10", "0", "0", "1"}, ""), kBadPortMessage);
    EXPECT_EQ(checkScaleInput({"10", "0", "0", "1"}, "0"), kBadPortMessage);
    EXPECT_EQ(checkScaleInput({"10", "0", "0", "1"}, "65536"), kBadPortMessage);
    EXPECT_EQ(checkScaleInput({"10", "0", "0", "1"}, "99999999999999"), kBadPortMessage);
}

} // namespace
} // namespace ostrel
