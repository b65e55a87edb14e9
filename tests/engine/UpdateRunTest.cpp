// The update run against a scripted library: exact calls and blocks, reply handling, the end
// of a run, and the triggers.
#include "FakeScaleLibrary.h"
#include "RunTestSupport.h"
#include "ScriptedRun.h"

#include "engine/CallbackRouter.h"
#include "platform/IniFile.h"
#include "settings/SettingsHolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <thread>

namespace ostrel {
namespace {

using test::Answer;
using test::FakeScaleLibrary;
using test::RunWaiter;
using test::ScaleConfig;
using test::SentRecord;

const ScaleConfig kScaleA{"127.0.0.2", 5001, "QV7100", "1.23.4,1.5,2", "A"};
const ScaleConfig kScaleB{"127.0.0.3", 5002, "QV7100", "1.0.0,1,1", "B"};
const ScaleConfig kScaleC{"127.0.0.4", 5003, "QV7100", "1.0.0,1,1", "C"};

class UpdateRunTest : public ::testing::Test, public test::ScriptedRun
{
protected:
    void SetUp() override { makeController(); }

    std::vector<std::string> callsStartingWith(const std::string& prefix) const
    {
        std::vector<std::string> result;
        for (const auto& call : library.calls()) {
            if (call.rfind(prefix, 0) == 0) {
                result.push_back(call);
            }
        }
        return result;
    }

    // The scales are opened side by side: only a scale's own log lines have an order.
    std::vector<std::string> logLinesOf(const std::string& ip) const
    {
        std::vector<std::string> own;
        for (const auto& line : logLines()) {
            if (line.find(" : " + ip + " - ") != std::string::npos) {
                own.push_back(line);
            }
        }
        return own;
    }

    std::vector<std::uint32_t> sentPlus(const std::string& ip) const
    {
        std::vector<std::uint32_t> plus;
        for (const auto& sent : library.sent()) {
            if (sent.ip == ip) {
                plus.push_back(sent.plu());
            }
        }
        return plus;
    }

    RunSummary onlySummary() const
    {
        const auto summaries = waiter.summaries();
        EXPECT_EQ(summaries.size(), 1u);
        return summaries.empty() ? RunSummary{} : summaries.front();
    }
};

// Refuses every try of one PLU number with `text`, accepts the rest.
std::function<Answer(const SentRecord&)> refusing(std::uint32_t plu, const std::string& text,
                                                  int times = 1000)
{
    auto count = std::make_shared<int>(0);
    return [=](const SentRecord& sent) {
        if (sent.plu() == plu && (*count)++ < times) {
            return Answer{Answer::Refuse, text};
        }
        return Answer{};
    };
}

TEST_F(UpdateRunTest, ThreeLinesOneScaleAllAccepted)
{
    writeSettings({kScaleA});
    writeData("PLU1.TXT", {"123,5,Apple,2.5", "124,5,Pear,3", "125,6,Plum,0.99"});
    controller->startUp();
    controller->waitForOpening();

    EXPECT_EQ(library.calls(),
              (std::vector<std::string>{
                  "SetCommLibrary 1 VEKTCPIP.DLL 1", "AddInterpreter 100 7100 QVInterpreter.DLL",
                  "AddInterpreter 100 7600 QVInterpreter.DLL",
                  "AddInterpreter 100 7110 QVMNInterpreter.DLL", "CheckIp2 1 127.0.0.2 5001",
                  "AddConnectionEx 127.0.0.2", "Connect [127.0.0.2] -1", "SendDataEx 127.0.0.2"}));
    EXPECT_TRUE(controller->runBusy());

    ASSERT_EQ(library.connections().size(), 1u);
    const ConnectionBlock c = library.connections().front();
    EXPECT_EQ(c.connectionId, 0xFFFF);
    EXPECT_STREQ(c.ipText, "127.0.0.2");
    EXPECT_EQ(c.port, 5001);
    EXPECT_EQ(c.scaleKind, 100);
    EXPECT_EQ(c.modelCode, 7100);
    EXPECT_EQ(c.timeoutValue, 3000);
    EXPECT_EQ(c.retryValue, 3);
    EXPECT_EQ(c.flag18, 1);
    EXPECT_EQ(c.flag19, 0);
    EXPECT_EQ(c.flag20, 1);
    EXPECT_EQ(c.dataKind, 218);
    EXPECT_TRUE(std::all_of(std::begin(c.reserved22), std::end(c.reserved22),
                            [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(c.onReply, &CallbackRouter::onReply);
    EXPECT_EQ(c.onEvent, &CallbackRouter::onEvent);
    EXPECT_EQ(c.version1, 123);
    EXPECT_EQ(c.version2, 4);
    EXPECT_EQ(c.version3, 15);
    EXPECT_EQ(c.version4, 2);

    ASSERT_EQ(library.sent().size(), 1u);
    const SentRecord first = library.sent().front();
    const SendBlock& s = first.block;
    EXPECT_EQ(s.connectionId, 0xFFFF);
    EXPECT_EQ(first.ip, "127.0.0.2");
    EXPECT_EQ(s.flag8, 1);
    EXPECT_EQ(s.flag9, 1);
    EXPECT_EQ(s.dataKind, 218);
    EXPECT_EQ(s.reserved11, 0);
    EXPECT_EQ(s.scaleKind, 100);
    EXPECT_EQ(s.modelCode, 7100);
    EXPECT_EQ(s.actionCode, 3);
    EXPECT_EQ(s.dataSize, 5308);
    EXPECT_EQ(s.version1, 123);
    EXPECT_EQ(s.version2, 4);
    EXPECT_EQ(s.version3, 15);
    EXPECT_EQ(s.version4, 2);
    EXPECT_EQ(first.number(0, 2), 5u); // department
    EXPECT_EQ(first.plu(), 123u);
    EXPECT_EQ(first.name(), "Apple");
    EXPECT_EQ(first.number(443, 4), 250u); // price with the holder's 2 decimals

    library.pump();
    EXPECT_EQ(sentPlus("127.0.0.2"), (std::vector<std::uint32_t>{123, 124, 125}));
    EXPECT_EQ(callsStartingWith("Disconnect"),
              (std::vector<std::string>{"Disconnect 127.0.0.2 -1"}));
    EXPECT_EQ(progress.events(), (std::vector<std::string>{"start 3 0 1", "complete after 3"}));
    EXPECT_EQ(timer.events(), (std::vector<std::string>{"restart 300000", "restart 300000"}));
    EXPECT_FALSE(controller->runBusy());

    const RunSummary summary = onlySummary();
    EXPECT_EQ(summary.lines, 3);
    ASSERT_EQ(summary.scales.size(), 1u);
    EXPECT_TRUE(summary.scales[0].succeeded);
    EXPECT_EQ(summary.scales[0].linesAccepted, 3);
    EXPECT_EQ(logLines(), (std::vector<std::string>{logLine("PLU1.TXT", "127.0.0.2", true)}));
    EXPECT_EQ(pluFiles(), (std::vector<std::string>{"PLU1_2024035103000.bak"}));
}

TEST_F(UpdateRunTest, TwoFilesThreeScalesEachInItsOwnOrder)
{
    writeSettings({kScaleA, kScaleB, kScaleC});
    writeData("PLU1.TXT", {"1,1,a,1", "2,1,b,1"});
    writeData("PLU2.TXT", {"3,1,c,1"});
    controller->onDirectDownload();
    controller->waitForOpening();
    library.pump();

    // The scales are opened side by side; each one sees its calls in their order, and its log
    // lines are in data-file order.
    const std::vector<std::string> allLogLines = logLines();
    for (const std::string ip : {"127.0.0.2", "127.0.0.3", "127.0.0.4"}) {
        std::vector<std::string> own;
        for (const auto& call : library.calls()) {
            if (call.find(ip) != std::string::npos && call.rfind("SendDataEx", 0) != 0) {
                own.push_back(call.substr(0, call.find(' ')));
            }
        }
        EXPECT_EQ(
            own, (std::vector<std::string>{"CheckIp2", "AddConnectionEx", "Connect", "Disconnect"}))
            << ip;
        EXPECT_EQ(sentPlus(ip), (std::vector<std::uint32_t>{1, 2, 3})) << ip;
        std::vector<std::string> ownLog;
        for (const auto& line : allLogLines) {
            if (line.find(" : " + ip + " - ") != std::string::npos) {
                ownLog.push_back(line);
            }
        }
        EXPECT_EQ(ownLog, (std::vector<std::string>{logLine("PLU1.TXT", ip, true),
                                                    logLine("PLU2.TXT", ip, true)}))
            << ip;
    }
    EXPECT_EQ(allLogLines.size(), 6u);
    EXPECT_EQ(pluFiles(),
              (std::vector<std::string>{"PLU1_2024035103000.bak", "PLU2_2024035103000.bak"}));
    EXPECT_EQ(timer.events(), (std::vector<std::string>{"stop", "restart 300000"}));
}

TEST_F(UpdateRunTest, AScaleThatDoesNotAnswerHoldsBackNeitherTheTriggerNorTheOthers)
{
    writeSettings({kScaleA, kScaleB, kScaleC});
    writeData("PLU1.TXT", {"1,1,a,1", "2,1,b,1"});
    library.hold("127.0.0.2");
    library.setUnreachable("127.0.0.2");
    controller->onDirectDownload(); // returns while the first scale is still being checked

    // The scales behind it get their first record while it has not answered.
    for (int i = 0; i < 500 && library.sent().size() < 2; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(sentPlus("127.0.0.3"), (std::vector<std::uint32_t>{1}));
    EXPECT_EQ(sentPlus("127.0.0.4"), (std::vector<std::uint32_t>{1}));
    library.pump();
    EXPECT_TRUE(controller->runBusy()); // the run cannot end while a scale is opening
    EXPECT_TRUE(waiter.summaries().empty());

    library.release("127.0.0.2");
    ASSERT_TRUE(waiter.waitFor(1));
    const RunSummary summary = onlySummary();
    EXPECT_FALSE(summary.scales[0].reached);
    EXPECT_TRUE(summary.scales[1].succeeded);
    EXPECT_TRUE(summary.scales[2].succeeded);
    EXPECT_EQ(logLines().back(), logLine("PLU1.TXT", "127.0.0.2", false)); // its outcome came last
}

TEST_F(UpdateRunTest, UnreachableScaleFailsAloneAndFilesAreBackedUp)
{
    writeSettings({kScaleA, kScaleB});
    writeData("PLU1.TXT", {"1,1,a,1"});
    writeData("PLU2.TXT", {"2,1,b,1"});
    library.setUnreachable("127.0.0.2");
    controller->onDirectDownload();
    controller->waitForOpening();
    library.pump();

    EXPECT_EQ(callsStartingWith("AddConnectionEx"),
              (std::vector<std::string>{"AddConnectionEx 127.0.0.3"}));
    EXPECT_EQ(logLinesOf("127.0.0.2"), (std::vector<std::string>{
                                           logLine("PLU1.TXT", "127.0.0.2", false),
                                           logLine("PLU2.TXT", "127.0.0.2", false),
                                       }));
    EXPECT_EQ(logLinesOf("127.0.0.3"), (std::vector<std::string>{
                                           logLine("PLU1.TXT", "127.0.0.3", true),
                                           logLine("PLU2.TXT", "127.0.0.3", true),
                                       }));
    const RunSummary summary = onlySummary();
    EXPECT_FALSE(summary.scales[0].reached);
    EXPECT_TRUE(summary.scales[1].succeeded);
    EXPECT_EQ(summary.backedUp.size(), 2u);
}

TEST_F(UpdateRunTest, NoReachableScaleLeavesTheFilesForTheNextRun)
{
    writeSettings({kScaleA});
    writeData("PLU1.TXT", {"1,1,a,1"});
    library.setUnreachable("127.0.0.2");
    controller->onDirectDownload();
    controller->waitForOpening();

    EXPECT_FALSE(controller->runBusy());
    EXPECT_EQ(pluFiles(), (std::vector<std::string>{"PLU1.TXT"}));
    EXPECT_EQ(logLines(), (std::vector<std::string>{logLine("PLU1.TXT", "127.0.0.2", false)}));
    EXPECT_EQ(timer.events(), (std::vector<std::string>{"stop", "restart 300000"}));
    EXPECT_EQ(onlySummary().backedUp.size(), 0u);
}

TEST_F(UpdateRunTest, OtherModelsFailAfterThreeResends)
{
    ScaleConfig mn = kScaleA;
    mn.model = "QV7100MN";
    writeSettings({mn, kScaleB});
    writeData("PLU1.TXT", {"1,1,a,1", "2,1,b,1", "3,1,c,1"});
    controller->onDirectDownload();
    controller->waitForOpening();
    library.pump([](const SentRecord& sent) {
        return sent.ip == "127.0.0.2" && sent.plu() == 2 ? Answer{Answer::Refuse, "E12"} : Answer{};
    });

    EXPECT_EQ(sentPlus("127.0.0.2"), (std::vector<std::uint32_t>{1, 2, 2, 2, 2}));
    EXPECT_EQ(sentPlus("127.0.0.3"), (std::vector<std::uint32_t>{1, 2, 3}));
    for (const auto& sent : library.sent()) {
        EXPECT_EQ(sent.block.modelCode, sent.ip == "127.0.0.2" ? 7110 : 7100);
    }
    EXPECT_EQ(callsStartingWith("Disconnect 127.0.0.2"),
              (std::vector<std::string>{"Disconnect 127.0.0.2 -1"}));
    EXPECT_EQ(logLinesOf("127.0.0.2"), (std::vector<std::string>{
                                           logLine("PLU1.TXT", "127.0.0.2", true),
                                           logLine("PLU1.TXT", "127.0.0.2", false),
                                       }));
    EXPECT_EQ(logLinesOf("127.0.0.3"),
              (std::vector<std::string>{logLine("PLU1.TXT", "127.0.0.3", true)}));
    EXPECT_FALSE(controller->runBusy());
}

TEST_F(UpdateRunTest, Model7100ResendsUpToItsCap)
{
    writeSettings({kScaleA});
    writeData("PLU1.TXT", {"1,1,a,1", "2,1,b,1", "3,1,c,1"});
    controller->onDirectDownload();
    controller->waitForOpening();
    library.pump(refusing(2, "E12", 9));
    EXPECT_EQ(sentPlus("127.0.0.2"),
              (std::vector<std::uint32_t>{1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 3}));
    ASSERT_TRUE(waiter.waitFor(1));
    EXPECT_TRUE(waiter.summaries()[0].scales[0].succeeded);

    library.clearCalls();
    writeData("PLU2.TXT", {"1,1,a,1", "2,1,b,1", "3,1,c,1"});
    controller->onDirectDownload();
    controller->waitForOpening();
    library.pump(refusing(2, "E12"));
    EXPECT_EQ(sentPlus("127.0.0.2"), (std::vector<std::uint32_t>{1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2}));
    ASSERT_TRUE(waiter.waitFor(2));
    EXPECT_FALSE(waiter.summaries()[1].scales[0].succeeded);
}

TEST_F(UpdateRunTest, SkippedLinesDoNotStallTheScale)
{
    writeSettings({kScaleA});
    // PLU 0 yields no record; E88 refuses line 3 for good.
    writeData("PLU1.TXT", {"1,1,a,1", "0,1,zero,1", "3,1,c,1", "4,1,d,1"});
    controller->onDirectDownload();
    controller->waitForOpening();
    library.pump(refusing(3, "E88 memory full"));

    EXPECT_EQ(sentPlus("127.0.0.2"), (std::vector<std::uint32_t>{1, 3, 4}));
    const RunSummary summary = onlySummary();
    EXPECT_TRUE(summary.scales[0].succeeded);
    EXPECT_EQ(summary.scales[0].linesAccepted, 2);
    EXPECT_EQ(progress.events().back(), "complete after 4");
}

TEST_F(UpdateRunTest, ConnectionEventFailsOnlyThatScale)
{
    writeSettings({kScaleA, kScaleB});
    writeData("PLU1.TXT", {"1,1,a,1", "2,1,b,1", "3,1,c,1"});
    controller->onDirectDownload();
    controller->waitForOpening();
    library.pump([](const SentRecord& sent) {
        return sent.ip == "127.0.0.2" && sent.plu() == 2 ? Answer{Answer::Drop, ""} : Answer{};
    });

    EXPECT_EQ(logLinesOf("127.0.0.2"), (std::vector<std::string>{
                                           logLine("PLU1.TXT", "127.0.0.2", true),
                                           logLine("PLU1.TXT", "127.0.0.2", false),
                                       }));
    EXPECT_EQ(logLinesOf("127.0.0.3"),
              (std::vector<std::string>{logLine("PLU1.TXT", "127.0.0.3", true)}));
    EXPECT_EQ(sentPlus("127.0.0.3"), (std::vector<std::uint32_t>{1, 2, 3}));
    const RunSummary summary = onlySummary();
    EXPECT_FALSE(summary.scales[0].succeeded);
    EXPECT_TRUE(summary.scales[1].succeeded);
    EXPECT_EQ(summary.backedUp.size(), 1u);
}

TEST_F(UpdateRunTest, AFileChangedDuringTheRunIsKeptAndANewOneWaits)
{
    writeSettings({kScaleA});
    writeData("PLU1.TXT", {"1,1,a,1", "2,1,b,1"});
    writeData("PLU2.TXT", {"3,1,c,1"});
    controller->onDirectDownload();
    controller->waitForOpening();
    ASSERT_TRUE(controller->runBusy());

    // The back office appends to PLU2 and drops PLU3 while the run sends.
    test::writeFile(dataFile("PLU2.TXT"), "3,1,c,1\r\n4,1,d,1\r\n");
    std::filesystem::last_write_time(dataFile("PLU2.TXT"),
                                     std::filesystem::file_time_type::clock::now() -
                                         std::chrono::seconds(99));
    writeData("PLU3.TXT", {"5,1,e,1"});
    controller->onCopyData(82); // refused, but rediscovers
    controller->waitForOpening();
    controller->onTimerTick();
    controller->waitForOpening();
    library.pump();

    const RunSummary summary = onlySummary();
    EXPECT_EQ(summary.files,
              (std::vector<std::string>{dataFile("PLU1.TXT"), dataFile("PLU2.TXT")}));
    EXPECT_EQ(summary.backedUp, (std::vector<std::string>{dataFile("PLU1.TXT")}));
    EXPECT_EQ(summary.keptForNextRun, (std::vector<std::string>{dataFile("PLU2.TXT")}));
    EXPECT_EQ(logLines().size(), 2u);
    EXPECT_EQ(pluFiles(),
              (std::vector<std::string>{"PLU1_2024035103000.bak", "PLU2.TXT", "PLU3.TXT"}));

    // The next run sends what was left, whole.
    library.clearCalls();
    controller->onCopyData(82);
    controller->waitForOpening();
    library.pump();
    EXPECT_EQ(sentPlus("127.0.0.2"), (std::vector<std::uint32_t>{3, 4, 5}));
}

TEST_F(UpdateRunTest, TriggersAreRefusedWhileAWindowIsOpenOrARunIsBusy)
{
    writeSettings({kScaleA});
    writeData("PLU1.TXT", {"1,1,a,1"});
    controller->setWindowOpen(true);
    controller->onDirectDownload();
    controller->waitForOpening();
    controller->onTimerTick();
    controller->waitForOpening();
    controller->onCopyData(1094);
    controller->waitForOpening();
    EXPECT_TRUE(callsStartingWith("CheckIp2").empty());
    // A Direct Download that starts nothing restarts the timer at once.
    EXPECT_EQ(timer.events(), (std::vector<std::string>{"stop", "restart 300000"}));
    EXPECT_TRUE(waiter.summaries().empty());

    controller->onReloadSettings(); // the window closed

    controller->waitForOpening();
    EXPECT_FALSE(controller->windowOpen());
    controller->onCopyData(82);
    controller->waitForOpening();
    ASSERT_TRUE(controller->runBusy());
    timer.clear();
    controller->onDirectDownload();
    controller->waitForOpening();
    controller->onCopyData(1094);
    controller->waitForOpening();
    controller->onCopyData(7); // unknown codes do nothing
    controller->waitForOpening();
    EXPECT_EQ(callsStartingWith("CheckIp2").size(), 1u);
    EXPECT_EQ(timer.events(), (std::vector<std::string>{"stop", "restart 300000"}));
    library.pump();
    EXPECT_FALSE(controller->runBusy());
    EXPECT_EQ(waiter.summaries().size(), 1u);
}

TEST_F(UpdateRunTest, TimerPeriodsFromTheCycleSettings)
{
    const std::vector<std::pair<std::string, std::string>> cases{
        {"[CYCLE]\nUpdate Cycle=minutes\nUpdate Interval=5\n", "restart 300000"},
        {"[CYCLE]\nUpdate Cycle=hours\nUpdate Interval=2\n", "restart 7200000"},
        {"[CYCLE]\nUpdate Cycle=days\nUpdate Interval=1\n", "restart 86400000"},
        {"[CYCLE]\nUpdate Cycle=minutes\nUpdate Interval=10min\n", "restart 600000"},
        {"[CYCLE]\nUpdate Cycle=minutes\nUpdate Interval=\n", "restart 0"},
    };
    for (const auto& [settings, expected] : cases) {
        writeSettings({kScaleA}, settings);
        timer.clear();
        controller->onReloadSettings();
        controller->waitForOpening();
        EXPECT_EQ(timer.events(), (std::vector<std::string>{expected})) << settings;
    }
}

TEST_F(UpdateRunTest, NoScaleShowsTheMessageAndTheRunReturnsToIdle)
{
    writeSettings({});
    writeData("PLU1.TXT", {"1,1,a,1"});
    controller->startUp();
    controller->waitForOpening();

    const auto shown = messages.messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "There is no scale! Please register scales at Config Menu.");
    EXPECT_EQ(shown[0].caption, "Tarvik");
    EXPECT_EQ(shown[0].icon, MessageIcon::Warning);
    EXPECT_EQ(controller->scaleCount(), 0);
    EXPECT_FALSE(controller->runBusy());
    EXPECT_TRUE(callsStartingWith("CheckIp2").empty());
    EXPECT_EQ(pluFiles(), (std::vector<std::string>{"PLU1.TXT"}));
    EXPECT_EQ(onlySummary().scales.size(), 0u);
}

TEST_F(UpdateRunTest, NothingNewStartsNoRun)
{
    writeSettings({kScaleA}, "[SENDFILE]\nCREATEDATE=99991231235959\n");
    writeData("PLU1.TXT", {"1,1,a,1"});
    controller->startUp();
    controller->waitForOpening();
    controller->onCopyData(82);
    controller->waitForOpening();
    EXPECT_TRUE(callsStartingWith("CheckIp2").empty());
    EXPECT_TRUE(waiter.summaries().empty());
}

TEST_F(UpdateRunTest, SecondScaleWithTheSameAddressCannotHangTheRun)
{
    ScaleConfig twin = kScaleA;
    twin.port = 6001;
    writeSettings({kScaleA, twin});
    writeData("PLU1.TXT", {"1,1,a,1", "2,1,b,1"});
    controller->onDirectDownload();
    controller->waitForOpening();
    library.pump();
    EXPECT_FALSE(controller->runBusy());
    EXPECT_THAT(logLines(),
                ::testing::UnorderedElementsAre(logLine("PLU1.TXT", "127.0.0.2", true),
                                                logLine("PLU1.TXT", "127.0.0.2", false)));
}

TEST_F(UpdateRunTest, LongRunsCountProgressInPerMille)
{
    writeSettings({kScaleA});
    std::vector<std::string> lines;
    for (int plu = 1; plu <= 70000; ++plu) {
        lines.push_back(std::to_string(plu) + ",1,x,1");
    }
    writeData("PLU1.TXT", lines);
    library.setKeepSent(false);
    controller->onDirectDownload();
    controller->waitForOpening();
    library.pump();
    EXPECT_EQ(progress.events(),
              (std::vector<std::string>{"start 1000 0 1", "complete after 1000"}));
}

TEST_F(UpdateRunTest, RunSettingsComeFromTarvikIniWithoutConfigRoot)
{
    // Missing or empty alike: an empty one once read the product folder as the layout file,
    // split every line at "," and sent nothing.
    for (const bool emptyKey : {false, true}) {
        writeSettings({kScaleA}, "[CYCLE]\nDecimal Point=2\n[SEPARATE]\nSeparate=;\nItemIsPLU=1\n");
        if (emptyKey) {
            ASSERT_TRUE(writeProfileString("PATH", "CONFIG ROOT", "", paths.tarvikIni));
        }
        writeData("PLU1.TXT", {"77;2;semi;1"});
        library.clearCalls();
        controller->onDirectDownload();
        controller->waitForOpening();
        ASSERT_EQ(library.sent().size(), 1u) << emptyKey;
        EXPECT_EQ(library.sent()[0].plu(), 77u);
        EXPECT_EQ(library.sent()[0].number(435, 4), 77u); // item code = PLU number
        library.pump();
    }
}

TEST_F(UpdateRunTest, ConnectionTestOpensOneScale)
{
    EXPECT_EQ(controller->ConnectProcessScale("10.0.0.5  ", 3001, 7110), 1);
    EXPECT_EQ(library.calls(), (std::vector<std::string>{
                                   "AddProcConnectionEx 1 [10.0.0.5] 3001 100 7110 3000 3 10 -1 0",
                                   "Connect [10.0.0.5  ] -1"}));
    EXPECT_TRUE(library.procCallbacksGiven());
}

TEST_F(UpdateRunTest, ScaleQueryModeRoutesRepliesAway)
{
    writeSettings({kScaleA});
    writeData("PLU1.TXT", {"1,1,a,1", "2,1,b,1"});
    controller->onDirectDownload();
    controller->waitForOpening();
    int queried = 0;
    controller->setScaleQueryReplyHandler([&queried](const SendBlock&) { return ++queried; });
    controller->settingsHolder().setRunMode(RunMode::ScaleQuery);
    library.pump();
    EXPECT_EQ(queried, 1);
    EXPECT_EQ(library.sent().size(), 1u);
}

TEST(CallbackRouter, OneEngineAtATimeAndNoneAfterItsEnd)
{
    test::RunFolder folder;
    FakeScaleLibrary library;
    UpdateController::Dependencies deps{folder.paths,    library,      folder.messages,
                                        folder.progress, folder.timer, folder.clock};
    {
        UpdateController first(deps);
        EXPECT_THROW(UpdateController second(deps), std::logic_error);
    }
    SendBlock block;
    block.ipText = "127.0.0.2";
    EXPECT_EQ(CallbackRouter::onReply(block), 0);
    EXPECT_EQ(CallbackRouter::onEvent(block), 0);
    UpdateController again(deps); // the slot is free again
}

TEST_F(UpdateRunTest, ProgressLinesFollowEachScaleWhileTheRunGoesOn)
{
    EXPECT_TRUE(controller->progressLines().empty()); // no run yet
    writeSettings({kScaleA, kScaleB, kScaleC},
                  "[CYCLE]\nDecimal Point=2\n[IPNAME]\n127.000.000.002=A\n127.000.000.003=B\n"
                  "127.000.000.004=C\n");
    writeData("PLU1.TXT", {"1,1,a,1", "2,1,b,1", "3,1,c,1"});
    library.hold("127.0.0.2");
    library.setUnreachable("127.0.0.2");
    controller->onDirectDownload();
    for (int i = 0; i < 500 && library.sent().size() < 2; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // C takes the first record, will never have the second ("E88") and does not answer the
    // third; B takes all three.
    library.pump([](const SentRecord& sent) {
        if (sent.ip == "127.0.0.4" && sent.plu() == 2) {
            return Answer{Answer::Refuse, "E88"};
        }
        if (sent.ip == "127.0.0.4" && sent.plu() == 3) {
            return Answer{Answer::Silent, ""};
        }
        return Answer{};
    });
    EXPECT_EQ(controller->progressLines(), (std::vector<std::string>{
                                               "File PLU1.TXT: 3 lines",
                                               "A: connecting",
                                               "B: 3 of 3 records, done",
                                               "C: 1 of 3 records, 1 skipped",
                                           }));

    library.release("127.0.0.2");
    controller->waitForOpening();
    EXPECT_EQ(controller->progressLines()[1], "A: failed (connection refused)");
    EXPECT_TRUE(controller->runBusy()); // C still owes its answer
}

} // namespace
} // namespace ostrel
