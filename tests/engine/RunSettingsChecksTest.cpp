// Settings that must stop wrong values before they reach a scale, and the messages that say
// why, against a scripted scale library.
#include "FakeScaleLibrary.h"
#include "RunTestSupport.h"

#include "engine/LayoutCheck.h"
#include "engine/RunSettings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace ostrel {
namespace {

using test::ScaleConfig;
using test::writeFile;
using ::testing::HasSubstr;
using ::testing::UnorderedElementsAre;

const ScaleConfig kScaleA{"127.0.0.2", 5001, "QV7100", "1.0.0,1,1", "A"};
const ScaleConfig kScaleB{"127.0.0.3", 5002, "QV7100", "1.0.0,1,1", "B"};

class RunSettingsChecks : public ::testing::Test, public test::RunFolder
{
protected:
    void SetUp() override
    {
        controller = std::make_unique<UpdateController>(
            UpdateController::Dependencies{paths, library, messages, progress, timer, clock});
        waiter.attach(*controller);
    }

    int checkIpCalls() const
    {
        int count = 0;
        for (const auto& call : library.calls()) {
            count += call.rfind("CheckIp2", 0) == 0 ? 1 : 0;
        }
        return count;
    }

    std::string messageTexts() const
    {
        std::string all;
        for (const auto& m : messages.messages()) {
            all += m.caption + ": " + m.text + "\n";
        }
        return all;
    }

    test::FakeScaleLibrary library;
    test::RunWaiter waiter;
    std::unique_ptr<UpdateController> controller;
};

std::string cycleWithDecimals(const std::string& value)
{
    return "[CYCLE]\nUpdate Cycle=minutes\nUpdate Interval=5\nDecimal Point=" + value + "\n";
}

TEST_F(RunSettingsChecks, AnEmptiedPathKeyStopsDiscoveryAfterAReload)
{
    writeSettings({kScaleA});
    controller->startUp();
    controller->waitForOpening();
    writeFile(paths.tarvikIni, "[PATH]\nPLU ROOT=" + pluFolder() +
                                   "\nPREFIX=\nEXTENTION=TXT\n[IPLIST]\nIP000=127.0.0.2:5001,S\n");
    writeData("PLU1.TXT", {"1,1,a,1"});
    controller->onCopyData(1094);
    controller->waitForOpening();
    controller->onTimerTick();
    controller->waitForOpening();
    controller->onReloadSettings();
    controller->waitForOpening();
    controller->onTimerTick();
    controller->waitForOpening();
    EXPECT_EQ(checkIpCalls(), 0);
    EXPECT_EQ(pluFiles(), (std::vector<std::string>{"PLU1.TXT"}));
}

TEST_F(RunSettingsChecks, DecimalPointOutsideZeroToThreeIsASettingsError)
{
    // Empty: read as 0 decimals, 2.49 would reach the scale as 2.
    for (const std::string value : {"7", "2147483647", "two", "-1", "1.5", ""}) {
        messages.clear();
        writeSettings({kScaleA}, cycleWithDecimals(value));
        writeData("PLU1.TXT", {"1,1,a,2.49"});
        controller.reset();
        controller = std::make_unique<UpdateController>(
            UpdateController::Dependencies{paths, library, messages, progress, timer, clock});
        controller->startUp();
        controller->waitForOpening();
        EXPECT_EQ(checkIpCalls(), 0) << value;
        EXPECT_THAT(controller->settingsError(), HasSubstr("\"Decimal Point\"")) << value;
        EXPECT_THAT(messageTexts(), HasSubstr("[CYCLE] \"Decimal Point\" is \"" + value + "\""))
            << value;
        EXPECT_EQ(pluFiles(), (std::vector<std::string>{"PLU1.TXT"})) << value;
    }
}

TEST_F(RunSettingsChecks, ScalesThatCannotBeTriedSayWhyAndTheOthersGoOn)
{
    ScaleConfig badPort = kScaleA;
    badPort.port = 86537;
    ScaleConfig twin = kScaleB; // the same scale written with leading zeros
    twin.ip = "127.000.000.003";
    twin.port = 6001;
    ScaleConfig badAddress = kScaleA;
    badAddress.ip = "127.0.0.300";
    writeSettings({badPort, kScaleB, twin, badAddress});
    writeData("PLU1.TXT", {"1,1,a,1"});
    controller->startUp();
    controller->waitForOpening();
    library.pump();
    ASSERT_TRUE(waiter.waitFor(1));
    const RunSummary summary = waiter.summaries().front();
    ASSERT_EQ(summary.scales.size(), 4u);
    EXPECT_THAT(summary.scales[0].notTried, HasSubstr("port 86537"));
    EXPECT_THAT(summary.scales[0].notTried, HasSubstr("1 to 65535"));
    EXPECT_TRUE(summary.scales[1].succeeded);
    EXPECT_THAT(summary.scales[2].notTried, HasSubstr("same address"));
    EXPECT_THAT(summary.scales[3].notTried, HasSubstr("127.0.0.300"));
    // Only the good scale was contacted; 86537 never became port 21001.
    EXPECT_EQ(checkIpCalls(), 1);
    // Scales are opened side by side: across scales the log follows their outcomes.
    EXPECT_THAT(logLines(), UnorderedElementsAre(logLine("PLU1.TXT", "127.0.0.2", false),
                                                 logLine("PLU1.TXT", "127.0.0.3", true),
                                                 logLine("PLU1.TXT", "127.000.000.003", false),
                                                 logLine("PLU1.TXT", "127.0.0.300", false)));
    // The load said so too, naming both slots.
    EXPECT_THAT(messageTexts(), HasSubstr("IP002 in [IPLIST] (\"127.000.000.003:6001,S\") has "
                                          "the address of IP001"));
}

TEST_F(RunSettingsChecks, TarvikIniWithoutPathSaysSo)
{
    writeFile(paths.tarvikIni, "[IPLIST]\nIP000=127.0.0.2:5001,S\n");
    controller->startUp();
    controller->waitForOpening();
    EXPECT_THAT(messageTexts(), HasSubstr("has no [PATH] section"));
    EXPECT_THAT(controller->settingsError(), HasSubstr("[PATH]"));

    messages.clear();
    std::filesystem::remove(paths.tarvikIni);
    std::filesystem::create_directory(paths.tarvikIni);
    controller->onDirectDownload();
    controller->waitForOpening();
    EXPECT_THAT(messageTexts(), HasSubstr("is not a regular file"));
    EXPECT_THAT(messageTexts(), ::testing::Not(HasSubstr("There is no scale")));
}

TEST_F(RunSettingsChecks, AStoppedRunSendsNoFurtherLineAndKeepsItsFiles)
{
    writeSettings({kScaleA, kScaleB});
    writeData("PLU1.TXT", {"1,1,a,1", "2,1,b,1", "3,1,c,1"});
    EXPECT_FALSE(controller->requestStop()); // nothing to stop
    controller->startUp();
    controller->waitForOpening();
    ASSERT_TRUE(controller->runBusy());
    EXPECT_TRUE(controller->requestStop());
    library.pump();
    ASSERT_TRUE(waiter.waitFor(1));
    const RunSummary summary = waiter.summaries().front();
    EXPECT_TRUE(summary.interrupted);
    EXPECT_EQ(library.sent().size(), 2u); // the first record of each scale, nothing after
    EXPECT_FALSE(summary.scales[0].succeeded);
    EXPECT_EQ(pluFiles(), (std::vector<std::string>{"PLU1.TXT"}));
    // Both opened before the stop, in either order; both failed after it.
    const std::vector<std::string> lines = logLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_THAT(std::vector<std::string>(lines.begin(), lines.begin() + 2),
                UnorderedElementsAre(logLine("PLU1.TXT", "127.0.0.2", true),
                                     logLine("PLU1.TXT", "127.0.0.3", true)));
    EXPECT_THAT(std::vector<std::string>(lines.begin() + 2, lines.end()),
                UnorderedElementsAre(logLine("PLU1.TXT", "127.0.0.2", false),
                                     logLine("PLU1.TXT", "127.0.0.3", false)));
    EXPECT_FALSE(controller->runBusy());
}

TEST_F(RunSettingsChecks, AStopLetsGoOfAScaleStillBeingChecked)
{
    writeSettings({kScaleA, kScaleB});
    writeData("PLU1.TXT", {"1,1,a,1"});
    library.hold("127.0.0.2"); // its check never answers by itself
    controller->startUp();
    const auto checking = [this] {
        const auto calls = library.calls();
        return std::find(calls.begin(), calls.end(), "CheckIp2 1 127.0.0.2 5001") != calls.end();
    };
    for (int i = 0; i < 500 && !checking(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(checking());
    library.pump();
    ASSERT_TRUE(controller->runBusy());
    EXPECT_TRUE(controller->requestStop());
    // The run ends without the held scale's release.
    ASSERT_TRUE(waiter.waitFor(1));
    const RunSummary summary = waiter.summaries().front();
    EXPECT_TRUE(summary.interrupted);
    EXPECT_FALSE(summary.scales[0].succeeded);
    EXPECT_EQ(summary.scales[0].reason, "run stopped while the scale was being opened");
    EXPECT_EQ(pluFiles(), (std::vector<std::string>{"PLU1.TXT"}));

    // The next run waits for its scales again.
    library.release("127.0.0.2");
    writeData("PLU2.TXT", {"2,1,b,1"});
    controller->onDirectDownload();
    controller->waitForOpening();
    library.pump();
    ASSERT_TRUE(waiter.waitFor(2));
    EXPECT_TRUE(waiter.summaries().back().scales[0].succeeded);
}

TEST(LayoutCheck, ALayoutThatGivesNoLineAPluNumberIsAProblem)
{
    test::TempDir dir;
    const std::string pluId = dir.file("PluID.ini");
    const std::string prs = dir.file("PLUPrs.prs");
    ImportFormat format;
    EXPECT_THAT(layoutProblem(kSeparatedType, format, pluId, prs),
                HasSubstr("The column order in " + pluId + " has no column for the PLU number"));
    writeFile(pluId, "[PLU ID]\nID01=0001\nID02=\nID03=0002\n"); // the list ends at ID02
    EXPECT_THAT(layoutProblem(kSeparatedType, format, pluId, prs), HasSubstr("field 2"));
    writeFile(pluId, "[PLU ID]\nID01=0001\nID02=0002\n");
    EXPECT_EQ(layoutProblem(kSeparatedType, format, pluId, prs), "");

    // A fixed line's second definition holds the PLU number.
    const std::string noPlace = "The fixed layout in " + prs + " gives the PLU number";
    format.fixedFields = {{1, 0, 2}};
    EXPECT_THAT(layoutProblem(kFixedType, format, pluId, prs), HasSubstr(noPlace));
    format.fixedFields = {{1, 0, 2}, {2, 2, 0}, {4, 8, 6}};
    EXPECT_THAT(layoutProblem(kFixedType, format, pluId, prs), HasSubstr(noPlace));
    format.fixedFields[1] = {2, -1, 6};
    EXPECT_THAT(layoutProblem(kFixedType, format, pluId, prs), HasSubstr(noPlace));
    format.fixedFields[1] = {2, 2, 6};
    EXPECT_EQ(layoutProblem(kFixedType, format, pluId, prs), "");

    EXPECT_THAT(layoutProblem(0, format, pluId, prs),
                HasSubstr("[TYPE] \"FILETYPE\" is 0; it must be 1 (separated) or 2 (fixed)."));
}

TEST_F(RunSettingsChecks, ReadRunSettingsBuildsTheScaleEntries)
{
    EXPECT_FALSE(readRunSettings(paths).fileFound);
    writeSettings({kScaleA, kScaleB});
    const LoadedRunSettings loaded = readRunSettings(paths);
    ASSERT_TRUE(loaded.fileFound);
    EXPECT_EQ(loaded.scaleCount, 2);
    ASSERT_EQ(loaded.settings.scales.size(), 2u);
    EXPECT_STREQ(loaded.settings.scales[1].ip(), "127.0.0.3");
    EXPECT_EQ(loaded.settings.scales[1].port, 5002);
    EXPECT_EQ(loaded.settings.scales[1].modelCode, 7100);
    EXPECT_EQ(loaded.settings.searchPattern, pluFolder() + "/PLU*.TXT");
}

} // namespace
} // namespace ostrel
