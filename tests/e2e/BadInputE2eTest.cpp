// Wrong values never reach a scale, and bad input is named: the real ostrel against the
// simulated scales, with settings, files and signals that a shop can get wrong.
#include "E2eSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace ostrel::e2e {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

std::string configFolder(const Shop& shop)
{
    return shop.documents() + "/VEK/Ostrel/Config";
}

bool waitForRecords(const std::string& db, std::size_t count)
{
    for (int i = 0; i < 1000; ++i) {
        if (receivedRecords(db).size() >= count) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

TEST(BadInputE2e, EmptyConfigRootSendsWithTheDefaultLayout)
{
    Shop shop;
    SimulatedScales sim({{"127.0.0.2"}}, shop.db(), shop.outputPrefix("sim"));
    shop.addScale("127.0.0.2", sim.port(0));
    shop.setKey("PATH", "CONFIG ROOT", "");
    shop.dropFile("A", separatedLines(101, 1, "Apple"), 60);

    const RunResult run = shop.runOstrel({"--once"});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    const auto records = receivedRecords(shop.db());
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].pluNumber, 101);
    EXPECT_EQ(records[0].price, 10125);
    EXPECT_EQ(records[0].name, "Apple101");
}

TEST(BadInputE2e, ZeroPaddedAddressReachesItsScale)
{
    Shop shop;
    SimulatedScales sim({{"127.0.0.2"}}, shop.db(), shop.outputPrefix("sim"));
    shop.addScale("127.000.000.002", sim.port(0));
    shop.dropFile("A", separatedLines(1, 2), 60);

    const RunResult run = shop.runOstrel({"--once"});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(receivedRecords(shop.db()).size(), 2u);
    EXPECT_THAT(shop.logLines(),
                ::testing::Contains(::testing::EndsWith(" : 127.000.000.002 - SUCCESS")));
}

TEST(BadInputE2e, PortBeyond65535FailsThatScaleWithTheReason)
{
    Shop shop;
    SimulatedScales sim({{"127.0.0.2"}, {"127.0.0.3"}}, shop.db(), shop.outputPrefix("sim"));
    shop.addScale("127.0.0.2", sim.port(0));
    shop.addScale("127.0.0.3", sim.port(1));
    // Cut to 16 bits this would be the simulated scale's own port.
    const int tooLarge = sim.port(0) + 65536;
    shop.setKey("IPLIST", "IP000", "127.0.0.2:" + std::to_string(tooLarge) + ",S");
    shop.dropFile("A", separatedLines(1, 2), 60);

    const RunResult run = shop.runOstrel({"--once"});
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_TRUE(receivedRecords(shop.db(), "127.0.0.2:" + std::to_string(sim.port(0))).empty());
    EXPECT_EQ(receivedRecords(shop.db(), "127.0.0.3:" + std::to_string(sim.port(1))).size(), 2u);
    EXPECT_THAT(run.out, HasSubstr("not tried: the port " + std::to_string(tooLarge) +
                                   " in [IPLIST] is outside 1 to 65535"));
    // The connection test reads the same list: no "Connected" for the wrapped port.
    const RunResult test = shop.runOstrel({"--test"});
    EXPECT_EQ(test.exitCode, 2) << test.out << test.err;
    EXPECT_THAT(test.err, HasSubstr("the port " + std::to_string(tooLarge) + " is outside"));
    EXPECT_THAT(test.out, ::testing::Not(HasSubstr(std::to_string(sim.port(0)))));
}

TEST(BadInputE2e, DecimalPointOutsideZeroToThreeIsASettingsError)
{
    for (const std::string value : {"7", "2147483647", "x", ""}) {
        Shop shop;
        SimulatedScales sim({{"127.0.0.2"}}, shop.db(), shop.outputPrefix("sim"));
        shop.addScale("127.0.0.2", sim.port(0));
        shop.setKey("CYCLE", "Decimal Point", value);
        shop.dropFile("A", separatedLines(1, 1), 60);

        const RunResult run = shop.runOstrel({"--once"});
        EXPECT_EQ(run.exitCode, 2) << value << run.out << run.err;
        EXPECT_THAT(run.err, HasSubstr("[CYCLE] \"Decimal Point\" is \"" + value + "\"")) << value;
        EXPECT_TRUE(receivedRecords(shop.db()).empty()) << value;
        EXPECT_EQ(shop.pluFolderNames(), (std::vector<std::string>{"PLUA.TXT"})) << value;
    }
}

TEST(BadInputE2e, FifosInPlaceOfFilesCountAsMissingAndNeverBlock)
{
    Shop shop;
    SimulatedScales sim({{"127.0.0.2"}}, shop.db(), shop.outputPrefix("sim"));
    shop.addScale("127.0.0.2", sim.port(0));
    for (const char* name : {"plumatch.mch", "PLUPrs.prs"}) {
        const std::string path = configFolder(shop) + "/" + name;
        std::filesystem::remove(path);
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0) << name;
    }
    ASSERT_EQ(::mkfifo((shop.pluFolder() + "/PLUF.TXT").c_str(), 0600), 0);
    shop.dropFile("A", separatedLines(1, 2), 60);

    const RunResult run = shop.runOstrel({"--once"}, std::chrono::seconds(30));
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(receivedRecords(shop.db()).size(), 2u);
    EXPECT_THAT(run.err, HasSubstr("plumatch.mch is not a regular file"));
    EXPECT_THAT(run.out, Not(HasSubstr("PLUF.TXT")));
}

TEST(BadInputE2e, SigtermStopsOnceAfterTheRecordInFlightAndSendExitIsRefused)
{
    Shop shop;
    SimulatedScales sim({{"127.0.0.2", "QV7100", {"--delay", "150"}}}, shop.db(),
                        shop.outputPrefix("sim"));
    shop.addScale("127.0.0.2", sim.port(0));
    shop.dropFile("A", separatedLines(1, 200), 60);

    auto once = shop.startOstrel({"--once"});
    ASSERT_TRUE(waitForRecords(shop.db(), 2)) << once->err();

    const RunResult exit = shop.runOstrel({"--send", "exit"}, std::chrono::seconds(30));
    EXPECT_NE(exit.exitCode, 0);
    EXPECT_THAT(exit.err, HasSubstr("--once"));
    EXPECT_TRUE(once->running());

    once->signal(SIGTERM);
    const auto code = once->wait(std::chrono::seconds(30));
    EXPECT_EQ(code, 1) << once->out() << once->err();
    EXPECT_THAT(once->out(), HasSubstr("interrupted"));
    EXPECT_THAT(once->out(), Not(HasSubstr("No new data file.")));
    EXPECT_LT(receivedRecords(shop.db()).size(), 200u);
    EXPECT_EQ(shop.pluFolderNames(), (std::vector<std::string>{"PLUA.TXT"}));
    const auto lines = shop.logLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_THAT(lines[0], ::testing::EndsWith("127.0.0.2 - SUCCESS"));
    EXPECT_THAT(lines[1], ::testing::EndsWith("127.0.0.2 - FAILED"));
}

TEST(BadInputE2e, SendExitAndSigtermEndTheTrayProgramWhileAMessageIsOpen)
{
    for (const bool bySignal : {false, true}) {
        Shop shop; // no scale: start-up shows "There is no scale!" and waits for OK
        shop.setEnvironment("QT_QPA_PLATFORM", "offscreen");
        shop.setEnvironment("DISPLAY", ":0");
        auto tray = shop.startOstrel({});
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        ASSERT_TRUE(tray->running()) << tray->err();
        if (bySignal) {
            tray->signal(SIGTERM);
        } else {
            EXPECT_EQ(shop.runOstrel({"--send", "exit"}, std::chrono::seconds(30)).exitCode, 0);
        }
        EXPECT_EQ(tray->wait(std::chrono::seconds(15)), 0) << bySignal << tray->err();
        EXPECT_EQ(shop.environment().count("OSTREL_REGISTRY"), 1u);
        EXPECT_TRUE(std::filesystem::exists(shop.environment().at("OSTREL_REGISTRY"))) << bySignal;
    }
}

TEST(BadInputE2e, TarvikIniWithoutPathSaysSo)
{
    Shop shop;
    const std::string ini = shop.tarvikIni();
    test::writeFile(ini, "[IPLIST]\r\nIP000=127.0.0.2:20304,S\r\n");
    const RunResult run = shop.runOstrel({"--once"});
    EXPECT_EQ(run.exitCode, 2) << run.out << run.err;
    EXPECT_THAT(run.err, HasSubstr("has no [PATH] section"));
    EXPECT_THAT(run.out + run.err, Not(HasSubstr("No new data file.")));
    EXPECT_THAT(run.out + run.err, Not(HasSubstr("There is no scale")));
}

TEST(BadInputE2e, ScalesNeverTriedAndAnUnwritableLogAreNamed)
{
    Shop shop;
    SimulatedScales sim({{"127.0.0.2"}}, shop.db(), shop.outputPrefix("sim"));
    shop.addScale("127.0.0.2", sim.port(0));
    shop.addScale("127.0.0.2", sim.port(0)); // the same scale twice
    shop.addScale("127.0.0.2.9", sim.port(0));
    // A file where the log folder belongs: no log line can be written.
    std::filesystem::remove_all(shop.documents() + "/VEK/Ostrel/Log");
    test::writeFile(shop.documents() + "/VEK/Ostrel/Log", "not a folder");
    shop.dropFile("A", separatedLines(1, 1), 60);

    const RunResult run = shop.runOstrel({"--once"});
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_THAT(run.out, HasSubstr("not tried: an earlier scale in [IPLIST] has the same address"));
    EXPECT_THAT(run.out, HasSubstr("not tried: the address \"127.0.0.2.9\""));
    EXPECT_THAT(run.out, Not(HasSubstr("not reachable")));
    EXPECT_THAT(run.err, HasSubstr("cannot write the send log"));
}

TEST(BadInputE2e, RuntimeFolderMadeByOthersIsRefused)
{
    Shop shop;
    test::TempDir tmp;
    ::chmod(tmp.path().c_str(), 0777);
    shop.setEnvironment("XDG_RUNTIME_DIR", "");
    shop.setEnvironment("TMPDIR", tmp.path());
    const std::string folder = tmp.path() + "/ostrel-" + std::to_string(::geteuid());

    // A folder others may write into.
    std::filesystem::create_directory(folder);
    ::chmod(folder.c_str(), 0777);
    RunResult run = shop.runOstrel({"--once"});
    EXPECT_EQ(run.exitCode, 2) << run.out << run.err;
    EXPECT_THAT(run.err, HasSubstr(folder));
    run = shop.runOstrel({"--send", "run"});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_THAT(run.err, HasSubstr(folder));

    // A link to a folder elsewhere.
    std::filesystem::remove(folder);
    std::filesystem::create_directory_symlink(shop.documents(), folder);
    run = shop.runOstrel({"--once"});
    EXPECT_EQ(run.exitCode, 2) << run.out << run.err;

    // Another user's folder, mode 0700 and all.
    if (::geteuid() == 0) {
        std::filesystem::remove(folder);
        std::filesystem::create_directory(folder);
        ::chmod(folder.c_str(), 0700);
        ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
        run = shop.runOstrel({"--once"});
        EXPECT_EQ(run.exitCode, 2) << run.out << run.err;
        EXPECT_THAT(run.err, HasSubstr("belongs to another user"));
    }

    // None there: made owner-only, and the run goes on.
    std::filesystem::remove(folder);
    run = shop.runOstrel({"--once"});
    EXPECT_EQ(run.exitCode, 2) << run.out << run.err; // no scale registered
    EXPECT_THAT(run.err, HasSubstr("There is no scale"));
    struct stat info = {};
    ASSERT_EQ(::lstat(folder.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

} // namespace
} // namespace ostrel::e2e
