// Trust under faults, against the real program and the simulated scales: a log folder that
// fills up, a second instance on the same documents folder, a journal that is damaged, bent or
// gone, a record a scale never takes, more files than one run takes, and a file still being
// written. Each ends with what the scales store and what lies on disk.
#include "FaultMatrix.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <sched.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <thread>
#include <unistd.h>

namespace ostrel::e2e {
namespace {

using ::testing::HasSubstr;

class TrustE2e : public FaultMatrixE2e
{
protected:
    std::string logFolder() const { return shop.documents() + "/VEK/Ostrel/Log"; }
    std::vector<std::string> logFolderNames() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(logFolder())) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }
    std::string backupOf(const std::string& stem) const
    {
        for (const auto& name : backups()) {
            if (name.starts_with("PLU" + stem + "_")) {
                return shop.pluFolder() + "/" + name;
            }
        }
        return {};
    }
};

// The log folder on a tmpfs of its own, in a mount namespace of this test's process (each
// test runs in a process of its own), so nothing outside sees it.
bool mountSmallLogFolder(const std::string& folder)
{
    return ::unshare(CLONE_NEWNS) == 0 &&
           ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           ::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=512k") == 0;
}

TEST_F(TrustE2e, AFullLogFolderKeepsTheFileUntilTheJournalCanRecordIt)
{
    if (!mountSmallLogFolder(logFolder())) {
        GTEST_SKIP() << "no tmpfs can be mounted here; CatchUpTest covers a failed commit";
    }
    serve({"--drop-after", "10"});
    registerScales();
    drop("A", 1, 50);
    EXPECT_EQ(once().exitCode, 1);

    // Room for the journal's shared memory, none for the plan's transaction.
    struct statvfs space
    {
    };
    ASSERT_EQ(::statvfs(logFolder().c_str(), &space), 0);
    const auto free = static_cast<long long>(space.f_bavail) * space.f_frsize;
    const std::string filler = logFolder() + "/filler";
    test::writeFile(filler, std::string(static_cast<std::size_t>(free - 40 * 1024), 'x'));
    serve({"--drop-after", "5"});
    const std::string fileB = drop("B", 101, 5);
    const RunResult full = once();
    EXPECT_EQ(full.exitCode, 1) << full.out << full.err;
    EXPECT_THAT(full.out, HasSubstr("delivery journal could not be written"));
    EXPECT_TRUE(std::filesystem::exists(fileB)); // not backed up: nothing of it is recorded

    std::filesystem::remove(filler);
    serve();
    catchUp();
    expectLevel();
}

TEST_F(TrustE2e, ASecondInstanceWithAnotherRuntimeFolderIsRefused)
{
    serve({"--delay", "20"}, {"--delay", "20"});
    registerScales();
    drop("A", 1, 40);
    auto first = shop.startOstrel({"--once"});
    for (int i = 0; i < 500 && receivedRecords(shop.db()).size() < 3; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const std::string otherRuntime = shop.outputPrefix("runtime2");
    std::filesystem::create_directories(otherRuntime);
    shop.setEnvironment("XDG_RUNTIME_DIR", otherRuntime);
    const RunResult second = once();
    EXPECT_EQ(second.exitCode, 3) << second.out << second.err;
    EXPECT_THAT(second.err, HasSubstr("another Ostrel instance (PID "));
    EXPECT_EQ(first->wait(), 0) << first->err();
    // Every line went once to each scale, not once per instance.
    EXPECT_EQ(received(0), 40u);
    EXPECT_EQ(received(1), 40u);
    expectLevel();
}

TEST_F(TrustE2e, AJournalValueItNeverWritesIsTakenAsUnknown)
{
    serve({"--drop-after", "2"});
    registerScales();
    drop("A", 1, 4, 120);
    EXPECT_EQ(once().exitCode, 1); // A's catch-up is owed: the row is read at every trigger
    execSql(shop.journalFile(), "UPDATE data_file SET hash = 'not hex'");
    serve();
    drop("B", 11, 4);
    const RunResult run = once();
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err; // once: terminate at every start
    EXPECT_THAT(run.err, HasSubstr("holds a value it never writes"));
    for (int scale = 0; scale < 2; ++scale) {
        std::vector<long long> held;
        for (const StoredRecord& record : currentRecords(shop.db(), key(scale))) {
            held.push_back(record.pluNumber);
        }
        EXPECT_THAT(held, ::testing::IsSupersetOf({11, 12, 13, 14})) << key(scale);
    }
}

TEST_F(TrustE2e, ALostJournalSaysWhatIsOwedAndResendBringsTheScalesLevel)
{
    registerScales();
    for (const bool damaged : {true, false}) {
        SCOPED_TRACE(damaged ? "damaged" : "deleted");
        serve({"--drop-after", "10"});
        drop(damaged ? "A" : "B", damaged ? 1 : 101, 30);
        EXPECT_EQ(once().exitCode, 1);
        for (const char* part : {"", "-wal", "-shm"}) {
            std::filesystem::remove(shop.journalFile() + part);
        }
        if (damaged) {
            test::writeFile(shop.journalFile(), std::string(8192, '\x5a'));
        }
        serve();
        const RunResult told = once();
        const std::string backup = backupOf(damaged ? "A" : "B");
        EXPECT_EQ(told.exitCode, 1) << told.out << told.err;
        EXPECT_THAT(told.out, HasSubstr(damaged ? "was damaged" : "was missing"));
        EXPECT_THAT(told.out, HasSubstr(backup));
        EXPECT_THAT(test::readFile(logFolder() + "/last-run.json"), HasSubstr("journalNotice"));
        const auto names = logFolderNames();
        EXPECT_EQ(std::count_if(names.begin(), names.end(),
                                [](const std::string& n) {
                                    return n.starts_with("delivery.db.damaged-") &&
                                           !n.ends_with("-wal") && !n.ends_with("-shm");
                                }),
                  1);                  // the damaged one, kept (the second round deletes instead)
        EXPECT_EQ(once().exitCode, 0); // told once

        const RunResult resent = shop.runOstrel({"--resend", backup});
        EXPECT_EQ(resent.exitCode, 0) << resent.out << resent.err;
        EXPECT_TRUE(std::filesystem::exists(backup)); // never renamed
        expectLevel();
    }
}

TEST_F(TrustE2e, AScaleClearedByHandGetsTheBackupsRecordsBack)
{
    serve();
    registerScales();
    drop("A", 1, 8);
    EXPECT_EQ(once().exitCode, 0);
    m_sim->stop();
    execSql(shop.db(), "DELETE FROM plu WHERE scale = '" + key(0) + "'");
    serve();
    const RunResult resent = shop.runOstrel(
        {"--resend", backupOf("A"), "--scale", kIpA + ":" + std::to_string(m_ports[0])});
    EXPECT_EQ(resent.exitCode, 0) << resent.out << resent.err;
    EXPECT_EQ(received(1), 8u); // the other scale got nothing again
    expectLevel();
}

TEST_F(TrustE2e, ALineRefusedInThreeRunsIsSetAsideAndTheScaleGoesOn)
{
    registerScales();
    drop("A", 1, 6);
    for (int run = 1; run <= 3; ++run) {
        serve({"--refuse-plu", "3:E12"});
        const RunResult result = once();
        EXPECT_EQ(result.exitCode, run < 3 ? 1 : 0) << run << result.out << result.err;
        if (run == 3) {
            EXPECT_THAT(result.out, HasSubstr("set aside line 3 of"));
            EXPECT_THAT(result.out, HasSubstr("refused in 3 runs: E12"));
            EXPECT_THAT(shop.runOstrel({"--status"}).out, HasSubstr("set aside: line 3"));
        }
    }
    drop("B", 11, 2); // newer prices reach the scale again
    EXPECT_EQ(once().exitCode, 0);
    m_expected.erase(3);
    std::map<long long, long long> heldByA;
    for (const StoredRecord& record : currentRecords(shop.db(), key(0))) {
        heldByA[record.pluNumber] = record.price;
    }
    EXPECT_EQ(heldByA, m_expected);
    EXPECT_THAT(journalGaps(shop.journalFile()), ::testing::IsEmpty());
}

TEST_F(TrustE2e, ManyFilesGoInRunsBackToBackUntilNoneIsLeft)
{
    serve();
    registerScales();
    for (int file = 0; file < 150; ++file) {
        drop("F" + std::to_string(1000 + file), 1 + file, 1, 400 - file);
    }
    const RunResult run = once();
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_THAT(run.out, HasSubstr("50 more data file(s) wait"));
    EXPECT_EQ(backups().size(), 150u);
    expectLevel();
}

TEST_F(TrustE2e, OnceWaitsForAFreshFileAndNamesOneAWriterKeeps)
{
    serve();
    registerScales();
    drop("A", 1, 3);
    drop("B", 11, 3, 0); // written just now: settled two seconds from now
    RunResult run = once();
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_THAT(run.out, HasSubstr("Run ")); // one run with both
    EXPECT_THAT(run.out, HasSubstr("2 file(s)"));
    EXPECT_EQ(backups().size(), 2u);
    expectLevel();

    const std::string held = drop("C", 21, 3, 0);
    const int writer = ::open(held.c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(writer, 0);
    run = once();
    ::close(writer);
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_THAT(run.out, HasSubstr("still being written: " + held));
    EXPECT_TRUE(std::filesystem::exists(held));
}

} // namespace
} // namespace ostrel::e2e
