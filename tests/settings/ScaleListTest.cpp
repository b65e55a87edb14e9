#include "settings/ScaleList.h"

#include "TestSupport.h"
#include "platform/IniFile.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

TEST(PaddedIp, PadsEachPieceAndReadsPiecesAsNumbers)
{
    EXPECT_EQ(paddedIp("192.168.0.5"), "192.168.000.005");
    EXPECT_EQ(paddedIp("192.168.000.005"), "192.168.000.005");
    EXPECT_EQ(paddedIp("10.1"), "010.001.000.000");
    EXPECT_EQ(paddedIp("1x.2 .3.4"), "001.002.003.004");
}

TEST(IpListValue, WindowParseRules)
{
    auto v = parseIpListValue("192.168.000.005:20304,S");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->address(), "192.168.0.5");
    EXPECT_EQ(v->port, 20304);
    EXPECT_FALSE(v->client);

    EXPECT_TRUE(parseIpListValue("10.0.0.1:40000,C")->client);
    EXPECT_EQ(parseIpListValue("10.0.0.1:40000,C")->port, 40000);
    EXPECT_FALSE(parseIpListValue("10.0.0.1:80")->client); // no flag: server
    EXPECT_FALSE(parseIpListValue("10.0.0.1:80,")->client);

    EXPECT_FALSE(parseIpListValue("10.0.0.1"));         // no ':'
    EXPECT_FALSE(parseIpListValue("10.0.0.1:0,S"));     // port 0
    EXPECT_FALSE(parseIpListValue("10.0.0.1:abc,S"));   // no digits: port 0
    EXPECT_FALSE(parseIpListValue("10.0.0.1:65536,S")); // 16-bit port wraps to 0
}

class ScaleListFile : public ::testing::Test
{
protected:
    TempDir dir;
    std::string ini = dir.file("Tarvik.ini");
};

TEST_F(ScaleListFile, WindowReadsPaddedAddressAndFindsNameUnderPaddedKey)
{
    writeFile(ini, "[IPLIST]\nIP000=192.168.000.005:20304,S\nIP002=10.0.0.7:40000,C\n"
                   "[IPNAME]\n192.168.000.005=Counter\n[MODEL]\nIP000=QV7100\nIP002=TZ47\n"
                   "[SCALEVERSION]\nIP000=1.23.4,1.5,2\n");
    const auto rows = readScaleListForWindow(ini);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].slot, 0);
    EXPECT_EQ(rows[0].address, "192.168.0.5");
    EXPECT_EQ(rows[0].name, "Counter");
    EXPECT_EQ(rows[0].model, "QV7100");
    EXPECT_EQ(rows[0].version, "1.23.4,1.5,2");
    EXPECT_EQ(rows[1].slot, 2); // a gap at IP001 does not stop the window
    EXPECT_TRUE(rows[1].value.client);
    EXPECT_EQ(rows[1].name, "");
    EXPECT_EQ(rows[1].version, "");

    // ...but the run stops counting at the first empty slot.
    EXPECT_EQ(countRunScales(ini), 1);
}

TEST_F(ScaleListFile, RunReadUsesDefaultsAndCutsTexts)
{
    writeFile(ini, "[IPLIST]\nIP000=192.168.0.5:20304,S\nIP001=garbage-without-colon-long\n"
                   "[IPNAME]\n192.168.000.005=" +
                       std::string(60, 'n') + "\n");
    const auto rows = readRunScaleList(ini);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].ipText, "192.168.0.5");
    EXPECT_EQ(rows[0].port, 20304);
    EXPECT_EQ(rows[0].name, std::string(49, 'n'));
    EXPECT_EQ(rows[0].modelName, "1");
    EXPECT_EQ(rows[0].versionText, "1");
    EXPECT_EQ(rows[1].ipText, "garbage-without-col"); // 19 bytes, port 0: fails reachability
    EXPECT_EQ(rows[1].port, 0);
    EXPECT_EQ(rows[1].name, "1");
}

TEST_F(ScaleListFile, RunCountStopsAtOneHundred)
{
    std::string text = "[IPLIST]\n";
    for (int i = 0; i <= 100; ++i) {
        text += scaleSlotKey(i) + "=10.0.0.1:1,S\n";
    }
    writeFile(ini, text);
    EXPECT_EQ(countRunScales(ini), 100);
    EXPECT_EQ(readRunScaleList(ini).size(), 100u);
    EXPECT_EQ(countRunScales(dir.file("missing.ini")), 0);
}

TEST_F(ScaleListFile, ProblemsNameEverySlotThatIsPassedOver)
{
    writeFile(ini, "[IPLIST]\nIP000=127.0.0.2:20304,S\nIP001=127.000.000.002:20305,S\n"
                   "IP002=127.0.0.4:86537,S\nIP004=127.0.0.5:1,S\nIP100=127.0.0.6:1,S\n");
    const std::vector<std::string> problems = scaleListProblems(ini);
    ASSERT_EQ(problems.size(), 4u);
    EXPECT_EQ(problems[0], "IP001 in [IPLIST] (\"127.000.000.002:20305,S\") has the address of "
                           "IP000: that scale is sent to only once");
    EXPECT_EQ(problems[1],
              "IP002 in [IPLIST] (\"127.0.0.4:86537,S\"): the port 86537 is outside 1 to 65535");
    EXPECT_EQ(problems[2], "IP004 in [IPLIST] (\"127.0.0.5:1,S\") follows an empty slot: runs "
                           "stop at the first empty slot");
    EXPECT_EQ(problems[3], "IP100 in [IPLIST] (\"127.0.0.6:1,S\") is beyond IP099: at most 100 "
                           "scales are used");
    // The window never shows the wrapped port (21001) as a scale to test or save.
    EXPECT_EQ(readScaleListForWindow(ini).size(), 3u);
    writeFile(ini, "[IPLIST]\nIP000=127.0.0.2:20304,S\n");
    EXPECT_TRUE(scaleListProblems(ini).empty());
}

TEST_F(ScaleListFile, SaveOfThreeAfterFiveEmptiesSlotsAndKeepsNames)
{
    std::string text = "; keep me\n[IPLIST]\n";
    for (int i = 0; i < 5; ++i) {
        text += scaleSlotKey(i) + "=10.0.0." + std::to_string(i + 1) + ":20304,C\n";
    }
    text += "[IPNAME]\n010.000.000.004=Four\n010.000.000.005=Five\n[CYCLE]\nUpdate Cycle=hours\n";
    writeFile(ini, text);

    const std::vector<ScaleListColumns> rows = {{"10.0.0.1", "20304", "One", "QV7100", "1.0.0,1,2"},
                                                {"10.0.0.2", "20304", "Two", "QV7600", ""},
                                                {"10.0.0.3", "40000", "Three", "TZ47", "v"}};
    ASSERT_TRUE(writeScaleList(ini, rows));

    const std::string bytes = readFile(ini);
    EXPECT_EQ(bytes.rfind("; keep me\n[IPLIST]\nIP000=10.0.0.1:20304,S\nIP001=10.0.0.2:20304,S\n"
                          "IP002=10.0.0.3:40000,S\nIP003=\nIP004=\nIP005=\n",
                          0),
              0u);
    EXPECT_NE(bytes.find("[IPNAME]\n010.000.000.004=Four\n010.000.000.005=Five\n"
                         "010.000.000.001=One\n010.000.000.002=Two\n010.000.000.003=Three\n"),
              std::string::npos);
    EXPECT_EQ(readProfileString("CYCLE", "Update Cycle", "", 512, ini), "hours");
    EXPECT_EQ(readProfileString("IPLIST", "IP099", "absent", 512, ini), "");
    EXPECT_EQ(readProfileString("MODEL", "IP002", "", 512, ini), "TZ47");
    EXPECT_EQ(readProfileString("SCALEVERSION", "IP000", "", 512, ini), "1.0.0,1,2");

    const auto back = readScaleListForWindow(ini);
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[2].name, "Three");
    EXPECT_EQ(back[2].value.port, 40000);
    EXPECT_FALSE(back[0].value.client); // a client flag is written back as S
    EXPECT_EQ(countRunScales(ini), 3);
}

TEST_F(ScaleListFile, SaveIntoMissingFolderFailsAndCreatesNothing)
{
    const std::string missing = dir.file("no/Tarvik.ini");
    EXPECT_FALSE(writeScaleList(missing, {{"10.0.0.1", "1", "a", "b", "c"}}));
    EXPECT_FALSE(std::filesystem::exists(dir.file("no")));
}

TEST(VersionText, SplitsIntoFourNumbers)
{
    EXPECT_EQ(splitVersionText("1.23.4,1.5,2"), (ScaleVersion{123, 4, 15, 2}));
    EXPECT_EQ(splitVersionText("12.3.4,15,2"), (ScaleVersion{123, 4, 15, 2}));
    EXPECT_EQ(splitVersionText(".5.4,1.5,2"), (ScaleVersion{5, 4, 15, 2}));
    EXPECT_EQ(splitVersionText("1.0,2.5,7,9"), (ScaleVersion{1, 0, 25, 9})); // middle "2.5,7"
    EXPECT_EQ(splitVersionText("1.2,3"), (ScaleVersion{1, 2, 0, 3}));        // no middle part
    EXPECT_EQ(splitVersionText("1"), (ScaleVersion{1, 0, 0, 0}));
    EXPECT_EQ(splitVersionText(""), (ScaleVersion{}));
}

TEST(ModelCode, KnownNamesAndTheRest)
{
    EXPECT_EQ(modelCode("QV7100"), 7100);
    EXPECT_EQ(modelCode("QV7600"), 7100);
    EXPECT_EQ(modelCode("QV7300"), 7100);
    EXPECT_EQ(modelCode("QV7100MN"), 7110);
    EXPECT_EQ(modelCode("TZ46"), 460);
    EXPECT_EQ(modelCode("TZ47"), 470);
    EXPECT_EQ(modelCode("TZ3W"), 0);
    EXPECT_EQ(modelCode("qv7100"), 0);
    EXPECT_EQ(modelCode("1"), 0);
}

} // namespace
} // namespace ostrel
