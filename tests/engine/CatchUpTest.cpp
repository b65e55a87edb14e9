// Catch-up and settling against a scripted library: which lines go to whom in the run after a
// failure, how it is logged, a catch-up whose bytes are gone, backups of one second, and a file
// still being written, and a journal that cannot record the plan.
#include "FakeScaleLibrary.h"
#include "RunTestSupport.h"
#include "ScriptedRun.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <filesystem>

namespace ostrel {
namespace {

using test::Answer;
using test::FakeScaleLibrary;
using test::RunWaiter;
using test::ScaleConfig;
using test::SentRecord;

const ScaleConfig kScaleA{"127.0.0.2", 5001, "QV7100", "1.0.0,1,1", "A"};
const ScaleConfig kScaleB{"127.0.0.3", 5002, "QV7100", "1.0.0,1,1", "B"};

class CatchUpTest : public ::testing::Test, public test::ScriptedRun
{
protected:
    void SetUp() override { makeController(); }

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
    std::string backup(const std::string& stem, const std::string& suffix = "") const
    {
        return dataFile(stem + "_" + test::kStamp + suffix + ".bak");
    }
    std::string logLineFor(const std::string& path, const std::string& ip, bool success) const
    {
        return std::string(test::kStamp) + " : " + path + " : " + ip +
               (success ? " - SUCCESS\r" : " - FAILED\r");
    }
};

TEST_F(CatchUpTest, TheScaleThatLacksLinesGetsThemFromTheBackupBeforeNewerFiles)
{
    writeSettings({kScaleA, kScaleB});
    writeData("PLU1.TXT", {"1,1,a,1", "2,1,b,1", "3,1,c,1"});
    controller->onDirectDownload();
    controller->waitForOpening();
    library.pump([](const SentRecord& sent) {
        return sent.ip == "127.0.0.2" && sent.plu() == 2 ? Answer{Answer::Drop, ""} : Answer{};
    });
    ASSERT_TRUE(waiter.waitFor(1));
    EXPECT_EQ(pluFiles(), (std::vector<std::string>{"PLU1_2024035103000.bak"}));

    writeData("PLU2.TXT", {"4,1,d,1"});
    const std::size_t logBefore = logLines().size();
    controller->onCopyData(82);
    controller->waitForOpening();
    library.pump();
    ASSERT_TRUE(waiter.waitFor(2));

    // Line 2 was dropped, so A goes on from it; B had PLU1 whole and gets only PLU2.
    EXPECT_EQ(sentPlus("127.0.0.2"), (std::vector<std::uint32_t>{1, 2, 2, 3, 4}));
    EXPECT_EQ(sentPlus("127.0.0.3"), (std::vector<std::uint32_t>{1, 2, 3, 4}));
    const auto lines = logLines();
    // A's lines together and in file order; B's before or after them (opened side by side).
    const std::vector<std::string> aLines{logLineFor(backup("PLU1"), "127.0.0.2", true),
                                          logLineFor(dataFile("PLU2.TXT"), "127.0.0.2", true)};
    const std::string bLine = logLineFor(dataFile("PLU2.TXT"), "127.0.0.3", true);
    std::vector<std::string> aThenB = aLines;
    aThenB.push_back(bLine);
    std::vector<std::string> bThenA{bLine};
    bThenA.insert(bThenA.end(), aLines.begin(), aLines.end());
    const std::vector<std::string> added(lines.begin() + static_cast<long>(logBefore), lines.end());
    EXPECT_TRUE(added == aThenB || added == bThenA) << ::testing::PrintToString(added);
    const RunSummary summary = waiter.summaries()[1];
    ASSERT_EQ(summary.catchUps.size(), 1u);
    EXPECT_EQ(summary.catchUps[0].file, backup("PLU1"));
    EXPECT_EQ(summary.catchUps[0].ipText, "127.0.0.2");
    EXPECT_EQ(summary.catchUps[0].firstLine, 2);
    EXPECT_EQ(summary.catchUps[0].lastLine, 3);
    EXPECT_TRUE(summary.scales[0].succeeded);
    EXPECT_EQ(summary.scales[0].linesAccepted, 3);

    // Level: a further trigger finds nothing to do.
    controller->onCopyData(82);
    controller->waitForOpening();
    EXPECT_EQ(waiter.summaries().size(), 2u);
}

TEST_F(CatchUpTest, ACatchUpWhoseBackupIsGoneFailsOnceInTheLog)
{
    writeSettings({kScaleA, kScaleB});
    writeData("PLU1.TXT", {"1,1,a,1", "2,1,b,1"});
    library.setUnreachable("127.0.0.2");
    controller->onDirectDownload();
    controller->waitForOpening();
    library.pump();
    ASSERT_TRUE(waiter.waitFor(1));
    std::filesystem::remove(backup("PLU1"));
    library.setReachable("127.0.0.2");

    const std::size_t logBefore = logLines().size();
    controller->onCopyData(82);
    controller->waitForOpening();
    ASSERT_TRUE(waiter.waitFor(2));
    const auto lines = logLines();
    EXPECT_EQ(std::vector<std::string>(lines.begin() + static_cast<long>(logBefore), lines.end()),
              (std::vector<std::string>{logLineFor(backup("PLU1"), "127.0.0.2", false)}));
    EXPECT_EQ(waiter.summaries()[1].catchUpsGone, (std::vector<std::string>{backup("PLU1")}));

    controller->onCopyData(82); // once: nothing is pending now

    controller->waitForOpening();
    EXPECT_EQ(waiter.summaries().size(), 2u);
    EXPECT_EQ(logLines().size(), lines.size());
}

TEST_F(CatchUpTest, TwoRunsInOneSecondKeepBothBackups)
{
    writeSettings({kScaleA});
    writeData("PLU1.TXT", {"1,1,a,1"});
    controller->onDirectDownload();
    controller->waitForOpening();
    library.pump();
    writeData("PLU1.TXT", {"2,1,b,1"}); // the same name again, in the same second's run
    controller->onDirectDownload();
    controller->waitForOpening();
    library.pump();
    ASSERT_TRUE(waiter.waitFor(2));
    EXPECT_EQ(pluFiles(),
              (std::vector<std::string>{"PLU1_2024035103000.bak", "PLU1_2024035103000_1.bak"}));
    EXPECT_EQ(test::readFile(backup("PLU1")), "1,1,a,1\r\n");
    EXPECT_EQ(test::readFile(backup("PLU1", "_1")), "2,1,b,1\r\n");
}

TEST_F(CatchUpTest, AFileStillBeingWrittenWaitsAndTheTimerTicksEarly)
{
    writeSettings({kScaleA});
    writeData("PLU1.TXT", {"1,1,a,1"});
    test::writeFile(dataFile("PLU2.TXT"), "2,1,b,1\r\n"); // written just now
    controller->onDirectDownload();
    controller->waitForOpening();
    library.pump();
    ASSERT_TRUE(waiter.waitFor(1));
    // The settled file went alone; the other stays, and the next tick comes within 2 s.
    EXPECT_EQ(sentPlus("127.0.0.2"), (std::vector<std::uint32_t>{1}));
    EXPECT_EQ(pluFiles(), (std::vector<std::string>{"PLU1_2024035103000.bak", "PLU2.TXT"}));
    EXPECT_GT(controller->settleWaitMs(), 0);
    EXPECT_LE(controller->settleWaitMs(), 2000);
    const auto events = timer.events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back(), "restart " + std::to_string(controller->settleWaitMs()));

    std::filesystem::last_write_time(dataFile("PLU2.TXT"),
                                     std::filesystem::file_time_type::clock::now() -
                                         std::chrono::seconds(5));
    timer.clear();
    controller->onTimerTick();
    controller->waitForOpening();
    library.pump();
    ASSERT_TRUE(waiter.waitFor(2));
    EXPECT_EQ(sentPlus("127.0.0.2"), (std::vector<std::uint32_t>{1, 2}));
    EXPECT_EQ(controller->settleWaitMs(), 0);
    EXPECT_EQ(timer.events().back(), "restart 300000"); // the period again
}

TEST_F(CatchUpTest, AJournalThatCannotRecordThePlanSendsNothingAndKeepsTheFiles)
{
    writeSettings({kScaleA, kScaleB});
    writeData("PLU1.TXT", {"1,1,a,1", "2,1,b,1"});
    controller->onDirectDownload(); // makes the journal
    controller->waitForOpening();
    library.pump();
    ASSERT_TRUE(waiter.waitFor(1));

    // Another writer holds the journal past its busy time: the plan's transaction fails, as
    // a full disk or an I/O error makes it fail.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open((paths.logFolder + "/delivery.db").c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    writeData("PLU2.TXT", {"3,1,c,1"});
    library.clearCalls();
    controller->onCopyData(82);
    controller->waitForOpening();
    ASSERT_TRUE(waiter.waitFor(2));
    const RunSummary failed = waiter.summaries().back();
    EXPECT_TRUE(library.sent().empty());
    EXPECT_TRUE(std::filesystem::exists(dataFile("PLU2.TXT")));
    ASSERT_EQ(failed.scales.size(), 2u);
    EXPECT_FALSE(failed.scales[0].succeeded);
    EXPECT_EQ(failed.scales[0].reason.rfind("delivery journal could not be written: ", 0), 0u)
        << failed.scales[0].reason;

    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    controller->onCopyData(82);
    controller->waitForOpening();
    library.pump();
    ASSERT_TRUE(waiter.waitFor(3));
    EXPECT_EQ(sentPlus("127.0.0.2"), (std::vector<std::uint32_t>{3}));
    EXPECT_EQ(sentPlus("127.0.0.3"), (std::vector<std::uint32_t>{3}));
    EXPECT_FALSE(std::filesystem::exists(dataFile("PLU2.TXT")));
}

} // namespace
} // namespace ostrel
