// The real ostrel against the real simulated scales on 127.0.0.x.
#include "E2eSupport.h"

#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <thread>

namespace ostrel::e2e {
namespace {

using ::testing::HasSubstr;

std::string scaleKey(const std::string& ip, std::uint16_t port)
{
    return ip + ":" + std::to_string(port);
}

std::vector<long long> pluNumbers(const std::vector<StoredRecord>& records)
{
    std::vector<long long> numbers;
    for (const auto& r : records) {
        numbers.push_back(r.pluNumber);
    }
    return numbers;
}

std::vector<std::string> linesEndingWith(const std::vector<std::string>& lines,
                                         const std::string& suffix)
{
    std::vector<std::string> found;
    for (const auto& line : lines) {
        if (line.size() >= suffix.size() &&
            line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0) {
            found.push_back(line);
        }
    }
    return found;
}

TEST(UpdateRunE2e, TwoFilesThreeScalesOrderLogAndBackups)
{
    Shop shop;
    SimulatedScales sim({{"127.0.0.2"}, {"127.0.0.3", "QV7600"}, {"127.0.0.4", "QV7100MN"}},
                        shop.db(), shop.outputPrefix("sim"));
    shop.addScale("127.0.0.2", sim.port(0), "QV7100");
    shop.addScale("127.0.0.3", sim.port(1), "QV7600");
    shop.addScale("127.0.0.4", sim.port(2), "QV7100MN");
    const std::string older = shop.dropFile("A", separatedLines(100, 3), 120);
    const std::string newer = shop.dropFile("B", separatedLines(200, 2), 60);

    const RunResult run = shop.runOstrel({"--once"});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;

    for (std::size_t i = 0; i < 3; ++i) {
        const std::string ip = "127.0.0." + std::to_string(2 + i);
        const auto records = receivedRecords(shop.db(), scaleKey(ip, sim.port(i)));
        // The older file first, each file's lines in order.
        EXPECT_EQ(pluNumbers(records), (std::vector<long long>{100, 101, 102, 200, 201})) << ip;
    }
    const auto first = receivedRecords(shop.db(), scaleKey("127.0.0.2", sim.port(0)));
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first[0].price, 10025);
    EXPECT_EQ(first[0].name, "Item100");
    EXPECT_EQ(first[0].department, 1);

    // One SUCCESS line per file and scale: the scales in the order of their outcomes, each
    // scale's files in order.
    const auto lines = shop.logLines();
    ASSERT_EQ(lines.size(), 6u);
    const std::string stamp = lines[0].substr(0, lines[0].find(' '));
    for (const std::string ip : {"127.0.0.2", "127.0.0.3", "127.0.0.4"}) {
        const auto first = std::find(lines.begin(), lines.end(),
                                     stamp + " : " + older + " : " + ip + " - SUCCESS");
        ASSERT_NE(first, lines.end()) << ip;
        ASSERT_NE(first + 1, lines.end()) << ip;
        EXPECT_EQ(first[1], stamp + " : " + newer + " : " + ip + " - SUCCESS");
    }

    EXPECT_EQ(shop.pluFolderNames(),
              (std::vector<std::string>{"PLUA_" + stamp + ".bak", "PLUB_" + stamp + ".bak"}));
    EXPECT_THAT(run.out, HasSubstr("2 file(s), 5 line(s)"));
}

TEST(UpdateRunE2e, UnreachableScaleFailsAloneAndFilesAreBackedUp)
{
    Shop shop;
    SimulatedScales sim({{"127.0.0.2"}}, shop.db(), shop.outputPrefix("sim"));
    shop.addScale("127.0.0.5", test::closedPortOn("127.0.0.5"));
    shop.addScale("127.0.0.2", sim.port(0));
    shop.dropFile("A", separatedLines(1, 2), 120);
    shop.dropFile("B", separatedLines(10, 2), 60);

    const RunResult run = shop.runOstrel({"--once"});
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;

    const auto lines = shop.logLines();
    EXPECT_EQ(linesEndingWith(lines, ": 127.0.0.5 - FAILED").size(), 2u);
    EXPECT_EQ(linesEndingWith(lines, ": 127.0.0.2 - SUCCESS").size(), 2u);
    EXPECT_EQ(lines.size(), 4u);
    EXPECT_EQ(receivedRecords(shop.db()).size(), 4u);
    for (const auto& name : shop.pluFolderNames()) {
        EXPECT_THAT(name, ::testing::EndsWith(".bak"));
    }
}

TEST(UpdateRunE2e, NoReachableScaleKeepsTheFiles)
{
    Shop shop;
    shop.addScale("127.0.0.6", test::closedPortOn("127.0.0.6"));
    shop.dropFile("A", separatedLines(1, 2), 60);

    const RunResult run = shop.runOstrel({"--once"});
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_EQ(shop.pluFolderNames(), (std::vector<std::string>{"PLUA.TXT"}));
    EXPECT_EQ(linesEndingWith(shop.logLines(), "- FAILED").size(), 1u);
}

TEST(UpdateRunE2e, RefusalsFailOtherModelsButNot7100BelowTheCap)
{
    // QV7600 shares the code 7100; QV7100MN (7110) is the other kind.
    Shop shop;
    SimulatedScales sim({{"127.0.0.2", "QV7600", {"--refuse-first", "5:E12"}},
                         {"127.0.0.3", "QV7100MN", {"--refuse-first", "5:E12"}}},
                        shop.db(), shop.outputPrefix("sim"));
    shop.addScale("127.0.0.2", sim.port(0), "QV7600");
    shop.addScale("127.0.0.3", sim.port(1), "QV7100MN");
    shop.dropFile("A", separatedLines(1, 3), 60);

    const RunResult run = shop.runOstrel({"--once"});
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;

    // 7100 resends each line until it is taken (5 refusals < the cap of 10).
    EXPECT_EQ(pluNumbers(receivedRecords(shop.db(), scaleKey("127.0.0.2", sim.port(0)))),
              (std::vector<long long>{1, 2, 3}));
    // The other model gives up after three resends of the first line.
    EXPECT_TRUE(receivedRecords(shop.db(), scaleKey("127.0.0.3", sim.port(1))).empty());
    const auto lines = shop.logLines();
    EXPECT_EQ(linesEndingWith(lines, ": 127.0.0.2 - SUCCESS").size(), 1u);
    EXPECT_EQ(linesEndingWith(lines, ": 127.0.0.2 - FAILED").size(), 0u);
    EXPECT_EQ(linesEndingWith(lines, ": 127.0.0.3 - SUCCESS").size(), 1u);
    EXPECT_EQ(linesEndingWith(lines, ": 127.0.0.3 - FAILED").size(), 1u);
}

TEST(UpdateRunE2e, Model7100FailsAtTheResendCap)
{
    Shop shop;
    SimulatedScales sim({{"127.0.0.2", "QV7100", {"--refuse-first", "50:E12"}}}, shop.db(),
                        shop.outputPrefix("sim"));
    shop.addScale("127.0.0.2", sim.port(0), "QV7100");
    shop.dropFile("A", separatedLines(1, 2), 60);

    const RunResult run = shop.runOstrel({"--once"});
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_TRUE(receivedRecords(shop.db()).empty());
    EXPECT_EQ(linesEndingWith(shop.logLines(), "- FAILED").size(), 1u);
}

TEST(UpdateRunE2e, E88RefusalSkipsToTheNextLine)
{
    Shop shop;
    SimulatedScales sim({{"127.0.0.2", "QV7600", {"--refuse-every", "2:E88"}}}, shop.db(),
                        shop.outputPrefix("sim"));
    shop.addScale("127.0.0.2", sim.port(0), "QV7600");
    shop.dropFile("A", separatedLines(1, 4), 60);

    const RunResult run = shop.runOstrel({"--once"});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    // Frames 2 and 4 are refused with E88 and not sent again.
    EXPECT_EQ(pluNumbers(receivedRecords(shop.db())), (std::vector<long long>{1, 3}));
    EXPECT_EQ(linesEndingWith(shop.logLines(), "- SUCCESS").size(), 1u);
}

TEST(UpdateRunE2e, DroppedConnectionGivesSuccessThenFailed)
{
    Shop shop;
    SimulatedScales sim({{"127.0.0.2", "QV7100", {"--drop-after", "2"}}, {"127.0.0.3"}}, shop.db(),
                        shop.outputPrefix("sim"));
    shop.addScale("127.0.0.2", sim.port(0));
    shop.addScale("127.0.0.3", sim.port(1));
    shop.dropFile("A", separatedLines(1, 5), 60);

    const RunResult run = shop.runOstrel({"--once"});
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    const auto lines = shop.logLines();
    const auto dropped = linesEndingWith(lines, ": 127.0.0.2 - SUCCESS");
    ASSERT_EQ(dropped.size(), 1u);
    EXPECT_EQ(linesEndingWith(lines, ": 127.0.0.2 - FAILED").size(), 1u);
    // SUCCESS (the opening) comes before FAILED (the drop).
    EXPECT_LT(
        std::find(lines.begin(), lines.end(), dropped[0]) - lines.begin(),
        std::find(lines.begin(), lines.end(), linesEndingWith(lines, "127.0.0.2 - FAILED")[0]) -
            lines.begin());
    EXPECT_EQ(receivedRecords(shop.db(), scaleKey("127.0.0.3", sim.port(1))).size(), 5u);
}

TEST(UpdateRunE2e, SilentScaleStillEndsTheRun)
{
    Shop shop;
    SimulatedScales sim({{"127.0.0.2", "QV7100", {"--silent-after", "1"}}}, shop.db(),
                        shop.outputPrefix("sim"));
    shop.addScale("127.0.0.2", sim.port(0));
    shop.dropFile("A", separatedLines(1, 3), 60);

    const RunResult run = shop.runOstrel({"--once"}, std::chrono::seconds(90));
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_EQ(linesEndingWith(shop.logLines(), "- FAILED").size(), 1u);
}

TEST(UpdateRunE2e, PluZeroLineInTheMiddleIsSkipped)
{
    Shop shop;
    SimulatedScales sim({{"127.0.0.2"}}, shop.db(), shop.outputPrefix("sim"));
    shop.addScale("127.0.0.2", sim.port(0));
    shop.dropFile("A", separatedLines(1, 2) + "1,0,0,Nothing,1.00,0\r\n" + separatedLines(3, 1),
                  60);

    const RunResult run = shop.runOstrel({"--once"});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(pluNumbers(receivedRecords(shop.db())), (std::vector<long long>{1, 2, 3}));
}

TEST(UpdateRunE2e, FileAppendedDuringTheRunIsKeptAndSentWholeNextTime)
{
    Shop shop;
    SimulatedScales sim({{"127.0.0.2", "QV7100", {"--delay", "40"}}}, shop.db(),
                        shop.outputPrefix("sim"));
    shop.addScale("127.0.0.2", sim.port(0));
    const std::string path = shop.dropFile("A", separatedLines(1, 40), 60);

    auto once = shop.startOstrel({"--once"});
    // Wait until the scale has taken a few records, then the back office appends.
    for (int i = 0; i < 500 && receivedRecords(shop.db()).size() < 3; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    {
        std::ofstream append(path, std::ios::binary | std::ios::app);
        append << separatedLines(41, 2);
    }
    ASSERT_EQ(once->wait(std::chrono::seconds(120)), 0) << once->out() << once->err();
    EXPECT_EQ(shop.pluFolderNames(), (std::vector<std::string>{"PLUA.TXT"}));

    const RunResult second = shop.runOstrel({"--once"});
    ASSERT_EQ(second.exitCode, 0) << second.out << second.err;
    const auto records = receivedRecords(shop.db());
    ASSERT_EQ(records.size(), 40u + 42u);
    EXPECT_EQ(records.back().pluNumber, 42);
    ASSERT_EQ(shop.pluFolderNames().size(), 1u);
    EXPECT_THAT(shop.pluFolderNames()[0], ::testing::EndsWith(".bak"));
}

TEST(UpdateRunE2e, NoScaleGivesTheMessageAndExitCode2)
{
    Shop shop;
    shop.dropFile("A", separatedLines(1, 1), 60);
    const RunResult run = shop.runOstrel({"--once"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_THAT(run.err,
                HasSubstr("Tarvik: There is no scale! Please register scales at Config Menu."));
    EXPECT_EQ(shop.pluFolderNames(), (std::vector<std::string>{"PLUA.TXT"}));
}

TEST(UpdateRunE2e, NoNewFileNoRun)
{
    Shop shop;
    SimulatedScales sim({{"127.0.0.2"}}, shop.db(), shop.outputPrefix("sim"));
    shop.addScale("127.0.0.2", sim.port(0));
    shop.dropFile("A", separatedLines(1, 1), 3600);
    shop.setKey("SENDFILE", "CREATEDATE", "29991231235959");

    const RunResult run = shop.runOstrel({"--once"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("No new data file."));
    EXPECT_TRUE(receivedRecords(shop.db()).empty());
    EXPECT_FALSE(std::filesystem::exists(shop.logFile()));
}

TEST(UpdateRunE2e, SecondStartReachesTheFirstAndSendExitEndsIt)
{
    Shop shop;
    SimulatedScales sim({{"127.0.0.2"}}, shop.db(), shop.outputPrefix("sim"));
    shop.addScale("127.0.0.2", sim.port(0));

    auto first = shop.startOstrel({"--headless"});
    ASSERT_TRUE(first->running());
    // Give the first instance time to take the lock; the second retries its connection anyway.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    shop.dropFile("A", separatedLines(1, 2), 60);

    const RunResult second = shop.runOstrel({"--headless"}, std::chrono::seconds(30));
    EXPECT_EQ(second.exitCode, 0) << second.err;
    // 1094 reloaded and ran: the file went to the scale and was backed up.
    for (int i = 0; i < 500 && receivedRecords(shop.db()).size() < 2; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(receivedRecords(shop.db()).size(), 2u);

    // The commands that use the scales themselves refuse while the instance runs.
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--once"}, {"--scan"}, {"--scan", "--save"}, {"--test"}}) {
        const RunResult refused = shop.runOstrel(args);
        EXPECT_EQ(refused.exitCode, 3) << args.front() << ": " << refused.err;
    }

    const RunResult exit = shop.runOstrel({"--send", "exit"});
    EXPECT_EQ(exit.exitCode, 0) << exit.err;
    EXPECT_EQ(first->wait(std::chrono::seconds(30)), 0) << first->err();
    const auto registry = shop.environment().at("OSTREL_REGISTRY");
    EXPECT_EQ(readProfileString("SOFTWARE\\VEK\\VEKAPP", "Update201012", "absent", 64, registry),
              "");
}

TEST(UpdateRunE2e, AWatchedFolderSendsAFileOnceItHasSettledNotAtTheNextTick)
{
    Shop shop;
    SimulatedScales sim({{"127.0.0.2"}, {"127.0.0.3"}}, shop.db(), shop.outputPrefix("sim"));
    shop.addScale("127.0.0.2", sim.port(0));
    shop.addScale("127.0.0.3", sim.port(1));
    shop.setKey("CYCLE", "Update Cycle", "hours");
    shop.setKey("CYCLE", "Update Interval", "1");
    shop.setKey("CYCLE", "WATCH FOLDER", "1");
    auto program = shop.startOstrel({"--headless"});
    std::this_thread::sleep_for(std::chrono::milliseconds(500)); // its start-up run: nothing

    // The back office writes the export in three parts over a second.
    const std::string path = shop.pluFolder() + "/PLUW.TXT";
    for (int part = 0; part < 3; ++part) {
        std::ofstream(path, std::ios::binary | std::ios::app) << separatedLines(1 + 4 * part, 4);
        if (part < 2) {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        }
    }
    const auto lastWrite = std::chrono::steady_clock::now();
    const auto both = [&] {
        return receivedRecords(shop.db(), "127.0.0.2:" + std::to_string(sim.port(0))).size() ==
                   12u &&
               receivedRecords(shop.db(), "127.0.0.3:" + std::to_string(sim.port(1))).size() == 12u;
    };
    while (!both() && std::chrono::steady_clock::now() - lastWrite < std::chrono::seconds(10)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const auto took = std::chrono::steady_clock::now() - lastWrite;
    EXPECT_TRUE(both());
    // SETTLE SECONDS (2) and one more, where the timer alone would take an hour.
    EXPECT_LE(took, std::chrono::seconds(3));
    EXPECT_EQ(shop.logLines().size(), 2u); // one run: a line per scale
    EXPECT_EQ(shop.runOstrel({"--send", "exit"}).exitCode, 0);
    EXPECT_EQ(program->wait(std::chrono::seconds(30)), 0) << program->err();
}

} // namespace
} // namespace ostrel::e2e
