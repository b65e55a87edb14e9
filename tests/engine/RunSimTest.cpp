// Whole runs through the real scale link to simulated scales on loopback addresses: the
// library's thread drives the transfer while the test's thread plays the user interface.
#include "RunTestSupport.h"
#include "TestSupport.h"

#include "protocol/TcpScaleLibrary.h"

#include "SimChildProcess.h"

#include <gtest/gtest.h>

#include "SimStoreReader.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <stdexcept>
#include <thread>

namespace ostrel {
namespace {

using test::receivedPlus;
using test::RunWaiter;
using test::ScaleConfig;

using SimChild = sim::SimChildProcess;

std::vector<std::string> numberedLines(int first, int count)
{
    std::vector<std::string> lines;
    for (int plu = first; plu < first + count; ++plu) {
        lines.push_back("1," + std::to_string(plu) + ",Item " + std::to_string(plu) + ",1.5");
    }
    return lines;
}

class RunSimTest : public ::testing::Test, public test::RunFolder
{
protected:
    RunSimTest()
    {
        // Column 1 the department, column 2 the PLU number.
        test::writeFile(paths.pluIdIni, "[PLU ID]\nID01=0001\nID02=0002\nID03=0010\nID04=0006\n");
    }

    // Starts the simulator with one "--scale IP:0:MODEL [faults]" group per entry.
    void startSim(const std::vector<std::vector<std::string>>& scales)
    {
        std::vector<std::string> args{"--no-scan", "--db", database()};
        for (const auto& scale : scales) {
            args.push_back("--scale");
            args.insert(args.end(), scale.begin(), scale.end());
        }
        sim = std::make_unique<SimChild>(args);
    }

    void makeController(TcpScaleLibraryOptions options = {})
    {
        options.connectTimeout = std::chrono::milliseconds(2000);
        library = std::make_unique<TcpScaleLibrary>(options);
        controller = std::make_unique<UpdateController>(
            UpdateController::Dependencies{paths, *library, messages, progress, timer, clock});
        waiter.attach(*controller);
    }

    // Start-up (interpreters, then a first run for the new files), then waits for its end.
    RunSummary runOnce()
    {
        controller->startUp();
        EXPECT_TRUE(waiter.waitFor(1)) << "the run did not end";
        const auto summaries = waiter.summaries();
        return summaries.empty() ? RunSummary{} : summaries.back();
    }

    std::string database() const { return dir.file("sim.sqlite"); }
    std::vector<int> received(const ScaleConfig& scale) const
    {
        return receivedPlus(database(), scale.ip + ":" + std::to_string(scale.port));
    }

    std::unique_ptr<SimChild> sim;
    std::unique_ptr<TcpScaleLibrary> library;
    RunWaiter waiter;
    std::unique_ptr<UpdateController> controller; // last: goes before the library
};

std::vector<int> range(int first, int last)
{
    std::vector<int> values;
    for (int v = first; v <= last; ++v) {
        values.push_back(v);
    }
    return values;
}

TEST_F(RunSimTest, TwoFilesThreeScalesAndAnUnreachableOne)
{
    startSim({{"127.0.0.2:0"}, {"127.0.0.3:0:QV7600"}, {"127.0.0.4:0:QV7100MN"}});
    const std::vector<ScaleConfig> scales{
        {"127.0.0.2", sim->scalePort(0), "QV7100", "1.0.0,1,1", "A"},
        {"127.0.0.5", test::closedPortOn("127.0.0.5"), "QV7100", "1.0.0,1,1", "gone"},
        {"127.0.0.3", sim->scalePort(1), "QV7600", "1.0.0,1,1", "B"},
        {"127.0.0.4", sim->scalePort(2), "QV7100MN", "1.0.0,1,1", "C"},
    };
    writeSettings(scales);
    writeData("PLU1.TXT", numberedLines(1, 3));
    writeData("PLU2.TXT", numberedLines(4, 2));
    makeController();

    const RunSummary summary = runOnce();
    for (const auto& scale : {scales[0], scales[2], scales[3]}) {
        EXPECT_EQ(received(scale), range(1, 5)) << scale.ip;
    }
    // Across scales the log follows the outcomes; a scale's own lines are in file order.
    const std::vector<std::string> lines = logLines();
    ASSERT_EQ(lines.size(), 8u);
    for (const auto& scale : scales) {
        const bool success = scale.ip != "127.0.0.5";
        const auto first =
            std::find(lines.begin(), lines.end(), logLine("PLU1.TXT", scale.ip, success));
        ASSERT_NE(first, lines.end()) << scale.ip;
        ASSERT_NE(first + 1, lines.end()) << scale.ip;
        EXPECT_EQ(first[1], logLine("PLU2.TXT", scale.ip, success)) << scale.ip;
    }
    EXPECT_EQ(pluFiles(),
              (std::vector<std::string>{"PLU1_2024035103000.bak", "PLU2_2024035103000.bak"}));
    ASSERT_EQ(summary.scales.size(), 4u);
    EXPECT_FALSE(summary.scales[1].reached);
    EXPECT_EQ(summary.scales[3].linesAccepted, 5);
}

TEST_F(RunSimTest, RefusalsEventsAndSilenceEndEveryScale)
{
    startSim({
        {"127.0.0.2:0:QV7100MN", "--refuse-first", "4"}, // fails after three resends
        {"127.0.0.3:0:QV7100", "--refuse-first", "9"},   // within the cap
        {"127.0.0.4:0", "--refuse-first", "1:E88"},      // every line passed over
        {"127.0.0.6:0", "--drop-after", "2"},            // event 8 at the third record
        {"127.0.0.7:0", "--silent-after", "1"},          // no reply: the link gives up
    });
    const std::vector<ScaleConfig> scales{
        {"127.0.0.2", sim->scalePort(0), "QV7100MN"}, {"127.0.0.3", sim->scalePort(1), "QV7100"},
        {"127.0.0.4", sim->scalePort(2), "QV7100"},   {"127.0.0.6", sim->scalePort(3), "QV7100"},
        {"127.0.0.7", sim->scalePort(4), "QV7100"},
    };
    writeSettings(scales);
    writeData("PLU1.TXT", numberedLines(1, 4));
    TcpScaleLibraryOptions options;
    options.replyTimeout = std::chrono::milliseconds(1500);
    makeController(options);

    const RunSummary summary = runOnce();
    ASSERT_EQ(summary.scales.size(), 5u);
    EXPECT_FALSE(summary.scales[0].succeeded);
    EXPECT_TRUE(received(scales[0]).empty());
    EXPECT_TRUE(summary.scales[1].succeeded);
    EXPECT_EQ(received(scales[1]), range(1, 4));
    EXPECT_TRUE(summary.scales[2].succeeded);
    EXPECT_TRUE(received(scales[2]).empty());
    EXPECT_FALSE(summary.scales[3].succeeded);
    EXPECT_EQ(received(scales[3]), range(1, 2));
    EXPECT_FALSE(summary.scales[4].succeeded);
    EXPECT_EQ(received(scales[4]), range(1, 1));

    const auto log = logLines();
    for (const auto& ip : {"127.0.0.2", "127.0.0.6", "127.0.0.7"}) {
        const auto success = std::find(log.begin(), log.end(), logLine("PLU1.TXT", ip, true));
        const auto failed = std::find(log.begin(), log.end(), logLine("PLU1.TXT", ip, false));
        EXPECT_TRUE(success < failed && failed != log.end()) << ip;
    }
    EXPECT_EQ(log.size(), 8u);
    EXPECT_FALSE(controller->runBusy());
}

TEST_F(RunSimTest, StressEightScalesWithRefusalsDropsAndTriggers)
{
    std::vector<std::vector<std::string>> simScales;
    std::vector<ScaleConfig> scales;
    for (int i = 0; i < 8; ++i) {
        const std::string ip = "127.0.0." + std::to_string(10 + i);
        const std::string model = i % 3 == 1 ? "QV7100MN" : "QV7100";
        std::vector<std::string> group{ip + ":0:" + model};
        if (i % 2 == 0) {
            group.insert(group.end(), {"--refuse-every", std::to_string(5 + i)});
        }
        if (i == 5) {
            group.insert(group.end(), {"--drop-after", "700"});
        }
        simScales.push_back(group);
        scales.push_back({ip, 0, model});
    }
    startSim(simScales);
    for (std::size_t i = 0; i < scales.size(); ++i) {
        scales[i].port = sim->scalePort(i);
    }
    writeSettings(scales);
    writeData("PLU1.TXT", numberedLines(1, 1200));
    writeData("PLU2.TXT", numberedLines(1201, 800));
    makeController();

    controller->startUp();
    // The user interface keeps triggering while the library's thread drives the run.
    while (!waiter.waitFor(1, std::chrono::seconds(0))) {
        controller->onTimerTick();
        controller->onCopyData(82);
        (void)controller->runBusy();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // A trigger of the last round may have started the dropped scale's catch-up: let it end.
    while (controller->runBusy()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const RunSummary summary = waiter.summaries().front();
    ASSERT_EQ(summary.lines, 2000);
    for (std::size_t i = 0; i < scales.size(); ++i) {
        if (i == 5) {
            EXPECT_FALSE(summary.scales[i].succeeded);
            // A trigger right after the run's end may already have started its catch-up.
            const std::vector<int> got = received(scales[i]);
            ASSERT_GE(got.size(), 700u);
            EXPECT_EQ(std::vector<int>(got.begin(), got.begin() + 700), range(1, 700));
            EXPECT_EQ(summary.scales[i].linesAccepted, 700);
        } else {
            EXPECT_TRUE(summary.scales[i].succeeded) << scales[i].ip;
            EXPECT_EQ(received(scales[i]), range(1, 2000)) << scales[i].ip;
        }
    }
    EXPECT_EQ(summary.backedUp.size(), 2u);
    // The scales that finished got each line once: no trigger during the run sent again.
}

TEST_F(RunSimTest, EndingTheEngineDuringARunNeitherHangsNorCrashes)
{
    startSim({{"127.0.0.2:0", "--delay", "20"}});
    writeSettings({{"127.0.0.2", sim->scalePort(0)}});
    writeData("PLU1.TXT", numberedLines(1, 500));
    makeController();
    controller->startUp();
    ASSERT_TRUE(controller->runBusy());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    controller.reset(); // replies still arrive on the library's thread meanwhile
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    library.reset();
    EXPECT_EQ(pluFiles(), (std::vector<std::string>{"PLU1.TXT"}));
}

} // namespace
} // namespace ostrel
