// The fault matrix: each way a run used to lose lines, against the real program and the
// simulated scales. After the fault is gone, one or two more triggers must leave every scale
// holding exactly the records of every file, and the delivery journal level.
#include "FaultMatrix.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <linux/fs.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

namespace ostrel::e2e {
namespace {

using ::testing::HasSubstr;

// A folder nobody may rename in: mode 0555, and for root (whom modes do not stop) the
// immutable flag. False when neither holds here.
class ReadOnlyFolder final
{
public:
    explicit ReadOnlyFolder(std::string path) : m_path(std::move(path))
    {
        std::filesystem::permissions(m_path, std::filesystem::perms(0555));
        if (::geteuid() == 0) {
            m_immutable = setImmutable(true);
        }
        const std::string probe = m_path + "/.probe";
        m_effective =
            ::rename((m_path + "/.").c_str(), probe.c_str()) != 0 && std::ofstream(probe).fail();
    }
    ~ReadOnlyFolder() { release(); }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    bool effective() const { return m_effective; }
    void release()
    {
        if (m_immutable) {
            setImmutable(false);
            m_immutable = false;
        }
        std::filesystem::permissions(m_path, std::filesystem::perms(0755));
    }

private:
    bool setImmutable(bool on)
    {
        const int fd = ::open(m_path.c_str(), O_RDONLY | O_DIRECTORY);
        int flags = 0;
        bool ok = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        if (fd >= 0) {
            ::close(fd);
        }
        return ok;
    }

    std::string m_path;
    bool m_immutable = false;
    bool m_effective = false;
};

TEST_F(FaultMatrixE2e, ScaleDroppedAfterTenOfFiftyLines)
{
    serve({"--drop-after", "10"});
    registerScales();
    drop("A", 1, 50);
    EXPECT_EQ(once().exitCode, 1);
    EXPECT_EQ(received(0), 10u);

    serve();
    const RunResult second = once();
    EXPECT_EQ(second.exitCode, 0) << second.out << second.err;
    // From its first unacknowledged line, out of the backup; the other scale gets nothing.
    EXPECT_THAT(second.out, HasSubstr("catch-up"));
    EXPECT_THAT(second.out, HasSubstr("to " + kIpA + ": lines 11-50"));
    EXPECT_EQ(received(0), 50u);
    EXPECT_EQ(received(1), 50u);
    expectLevel();
}

TEST_F(FaultMatrixE2e, BothScalesDroppedAfterFive)
{
    serve({"--drop-after", "5"}, {"--drop-after", "5"});
    registerScales();
    drop("A", 1, 20, 120);
    drop("B", 101, 5);
    EXPECT_EQ(once().exitCode, 1);
    serve();
    catchUp();
    expectLevel();
}

TEST_F(FaultMatrixE2e, SilentScale)
{
    serve({"--silent-after", "3"});
    registerScales();
    drop("A", 1, 12);
    EXPECT_EQ(once().exitCode, 1);
    serve();
    catchUp();
    expectLevel();
}

TEST_F(FaultMatrixE2e, TenRefusalsOfOneLine)
{
    serve({"--refuse-first", "10:E12"});
    registerScales();
    drop("A", 1, 6);
    EXPECT_EQ(once().exitCode, 1);
    EXPECT_EQ(received(0), 0u);
    serve();
    catchUp();
    expectLevel();
}

TEST_F(FaultMatrixE2e, UnreachableScale)
{
    serve({}, {}, false);
    registerScales();
    drop("A", 1, 8);
    const RunResult first = once();
    EXPECT_EQ(first.exitCode, 1);
    EXPECT_THAT(first.out, HasSubstr("FAILED (not reachable)"));
    // Nothing new comes, yet the next trigger brings the scale level.
    serve();
    catchUp();
    expectLevel();
}

TEST_F(FaultMatrixE2e, UnknownModelRefusedByTheLibrary)
{
    serve();
    registerScales("TZ3W");
    drop("A", 1, 7);
    EXPECT_EQ(once().exitCode, 1);
    shop.setKey("MODEL", "IP000", "QV7100");
    catchUp();
    expectLevel();
}

TEST_F(FaultMatrixE2e, HeaderLineIsSkippedNotFatal)
{
    serve();
    registerScales();
    drop("A", 1, 9, 60, "Dept,PLU,Flag,Name,Price,Code\r\n");
    const RunResult run = once();
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_THAT(run.out, HasSubstr("9 line(s) accepted, 1 skipped"));
    expectLevel();
}

TEST_F(FaultMatrixE2e, InvalidUtf8LineIsSkippedAndTheFileGoesOn)
{
    serve();
    registerScales();
    const std::string path = shop.dropFile("A",
                                           "\xEF\xBB\xBF" + separatedLines(1, 3) +
                                               "1,4,0,Bad\xC3,1.00,4\r\n" + separatedLines(5, 3),
                                           60);
    for (int plu : {1, 2, 3, 5, 6, 7}) {
        m_expected[plu] = plu * 100LL + 25;
    }
    const RunResult run = once();
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_THAT(run.err, HasSubstr(path + " line 4 skipped: it is not valid UTF-8"));
    EXPECT_THAT(run.out, HasSubstr("1 bad line(s) skipped"));
    expectLevel();
}

TEST_F(FaultMatrixE2e, EmptyNewestFileDoesNotBlockTheOlderOnes)
{
    serve();
    registerScales();
    drop("A", 1, 5, 120);
    shop.dropFile("B", "", 60);
    const RunResult run = once();
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    expectLevel();
    EXPECT_EQ(backups().size(), 2u);
}

TEST_F(FaultMatrixE2e, ALayoutWithoutAPluNumberKeepsTheFilesUntilItIsMended)
{
    serve();
    registerScales();
    drop("A", 1, 6);
    const std::string pluId = shop.documents() + "/VEK/Ostrel/Config/PluID.ini";
    const std::string mapped = test::readFile(pluId);
    test::writeFile(pluId, "[PLU ID]\r\nID01=0001\r\n[PLU NAME]\r\nNAME01=Dept\r\n");
    RunResult run = once();
    EXPECT_EQ(run.exitCode, 2) << run.out << run.err;
    EXPECT_THAT(run.err, HasSubstr("has no column for the PLU number (field 2)"));
    shop.setKey("TYPE", "FILETYPE", "7");
    run = once();
    EXPECT_EQ(run.exitCode, 2) << run.out << run.err;
    EXPECT_THAT(run.err, HasSubstr("[TYPE] \"FILETYPE\" is 7"));
    EXPECT_EQ(received(0) + received(1), 0u);
    EXPECT_TRUE(backups().empty());

    shop.setKey("TYPE", "FILETYPE", "1");
    test::writeFile(pluId, mapped);
    run = once();
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    expectLevel();
}

TEST_F(FaultMatrixE2e, ReadOnlyPluFolderIsReportedAndNothingIsSentTwice)
{
    serve();
    registerScales();
    drop("A", 1, 6);
    ReadOnlyFolder readOnly(shop.pluFolder());
    if (!readOnly.effective()) {
        GTEST_SKIP() << "this file system lets the folder be written";
    }
    const RunResult first = once();
    EXPECT_EQ(first.exitCode, 0) << first.out;
    EXPECT_THAT(first.out, HasSubstr("backup failed"));
    EXPECT_THAT(first.err, HasSubstr("cannot back up"));
    EXPECT_THAT(first.out, ::testing::Not(HasSubstr("changed while sending")));

    readOnly.release();
    const RunResult second = once();
    EXPECT_EQ(second.exitCode, 0) << second.out;
    EXPECT_EQ(received(0), 6u);
    EXPECT_EQ(received(1), 6u);
    EXPECT_EQ(backups().size(), 1u);
    expectLevel();
}

TEST_F(FaultMatrixE2e, TwoRunsInOneSecondKeepBothBackups)
{
    serve();
    registerScales();
    drop("A", 1, 3);
    EXPECT_EQ(once().exitCode, 0);
    drop("A", 11, 3);
    EXPECT_EQ(once().exitCode, 0);
    const auto names = backups();
    ASSERT_EQ(names.size(), 2u);
    // In one second the second name carries _1; across a second boundary both are plain.
    const std::string first = names[0].substr(0, names[0].size() - 4);
    if (names[1].starts_with(first)) {
        EXPECT_EQ(names[1], first + "_1.bak");
    }
    expectLevel();
}

TEST_F(FaultMatrixE2e, KilledDuringASend)
{
    serve({"--delay", "15"}, {"--delay", "15"});
    registerScales();
    drop("A", 1, 60);
    auto run = shop.startOstrel({"--once"});
    for (int i = 0; i < 500 && receivedRecords(shop.db()).size() < 12; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    run->signal(SIGKILL);
    run->wait();
    EXPECT_LT(received(0), 60u);
    catchUp();
    expectLevel();
}

TEST_F(FaultMatrixE2e, KilledDuringTheBackup)
{
    serve();
    registerScales();
    for (int file = 0; file < 40; ++file) {
        drop("F" + std::to_string(100 + file), 1 + file * 2, 2, 200 - file);
    }
    const int watch = ::inotify_init1(IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, shop.pluFolder().c_str(), IN_MOVED_TO), 0);
    auto run = shop.startOstrel({"--once"});
    pollfd ready{watch, POLLIN, 0};
    const bool renamed = ::poll(&ready, 1, 20000) == 1;
    run->signal(SIGKILL); // at the first backup's rename
    run->wait();
    ::close(watch);
    EXPECT_TRUE(renamed);
    catchUp();
    expectLevel();
    EXPECT_EQ(backups().size(), 40u);
}

} // namespace
} // namespace ostrel::e2e
