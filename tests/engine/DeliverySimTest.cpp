// Delivery through the real scale link to simulated scales: a file still being written is not
// taken until it settles, and a scale that was down is brought level by one catch-up run.
#include "RunTestSupport.h"
#include "TestSupport.h"

#include "engine/DeliveryJournal.h"
#include "protocol/TcpScaleLibrary.h"

#include "SimChildProcess.h"
#include "SimStoreReader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace ostrel {
namespace {

using test::RunWaiter;
using test::ScaleConfig;
using SimChild = sim::SimChildProcess;
using test::receivedPlus;

std::vector<int> range(int first, int last)
{
    std::vector<int> values;
    for (int v = first; v <= last; ++v) {
        values.push_back(v);
    }
    return values;
}

std::string line(int plu)
{
    return "1," + std::to_string(plu) + ",Item " + std::to_string(plu) + ",1.5\r\n";
}

class DeliverySimTest : public ::testing::Test, public test::RunFolder
{
protected:
    DeliverySimTest()
    {
        test::writeFile(paths.pluIdIni, "[PLU ID]\nID01=0001\nID02=0002\nID03=0010\nID04=0006\n");
    }

    void makeController()
    {
        TcpScaleLibraryOptions options;
        options.connectTimeout = std::chrono::milliseconds(1000);
        library = std::make_unique<TcpScaleLibrary>(options);
        controller = std::make_unique<UpdateController>(
            UpdateController::Dependencies{paths, *library, messages, progress, timer, clock});
        waiter.attach(*controller);
    }

    std::string database(int n = 1) const { return dir.file("sim" + std::to_string(n) + ".db"); }
    std::vector<int> received(const ScaleConfig& scale, int db = 1) const
    {
        return receivedPlus(database(db), scale.ip + ":" + std::to_string(scale.port));
    }
    int backups() const
    {
        int count = 0;
        for (const auto& name : pluFiles()) {
            count += name.ends_with(".bak") ? 1 : 0;
        }
        return count;
    }

    std::unique_ptr<TcpScaleLibrary> library;
    RunWaiter waiter;
    std::unique_ptr<UpdateController> controller; // last: goes before the library
};

TEST_F(DeliverySimTest, AFileAppendedEvery50msIsTakenOnlyWhenTheWriterStops)
{
    SimChild sim({"--no-scan", "--db", database(), "--scale", "127.0.0.2:0", "--scale",
                  "127.0.0.3:0:QV7600"});
    const std::vector<ScaleConfig> scales{{"127.0.0.2", sim.scalePort(0), "QV7100"},
                                          {"127.0.0.3", sim.scalePort(1), "QV7600"}};
    writeSettings(scales);
    makeController();
    controller->startUp(); // nothing there yet

    constexpr int kLines = 60; // 3 s at one line per 50 ms
    std::atomic<bool> writing{true};
    std::thread writer([&] {
        for (int plu = 1; plu <= kLines; ++plu) {
            const int fd = ::open(dataFile("PLU1.TXT").c_str(),
                                  O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
            const std::string text = line(plu);
            EXPECT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
            ::close(fd);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        writing = false;
    });
    int backupsWhileWriting = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline &&
           (writing || controller->runBusy() || backups() == 0)) {
        controller->onCopyData(82);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        if (writing) {
            backupsWhileWriting += backups();
        }
    }
    writer.join();
    ASSERT_TRUE(waiter.waitFor(1));
    EXPECT_EQ(backupsWhileWriting, 0);
    EXPECT_EQ(backups(), 1);
    for (const auto& scale : scales) {
        EXPECT_EQ(received(scale), range(1, kLines)) << scale.ip; // all lines, once each
    }
    EXPECT_EQ(waiter.summaries().size(), 1u);
}

TEST_F(DeliverySimTest, HundredFilesThreeScalesOneDownIsBroughtLevelByOneCatchUpRun)
{
    SimChild sim(
        {"--no-scan", "--db", database(1), "--scale", "127.0.0.2:0", "--scale", "127.0.0.3:0"});
    const std::uint16_t downPort = test::closedPortOn("127.0.0.4");
    const std::vector<ScaleConfig> scales{{"127.0.0.2", sim.scalePort(0), "QV7100"},
                                          {"127.0.0.3", sim.scalePort(1), "QV7100"},
                                          {"127.0.0.4", downPort, "QV7100"}};
    writeSettings(scales);
    constexpr int kFiles = 100;
    constexpr int kLinesPerFile = 5;
    for (int file = 0; file < kFiles; ++file) {
        std::string text;
        for (int i = 1; i <= kLinesPerFile; ++i) {
            text += line(file * kLinesPerFile + i);
        }
        char name[16];
        std::snprintf(name, sizeof name, "PLU%03d.TXT", file);
        test::writeFile(dataFile(name), text);
        std::filesystem::last_write_time(dataFile(name),
                                         std::filesystem::file_time_type::clock::now() -
                                             std::chrono::seconds(500 - file));
    }
    makeController();
    controller->startUp();
    ASSERT_TRUE(waiter.waitFor(1));
    const RunSummary first = waiter.summaries()[0];
    EXPECT_FALSE(first.scales[2].reached);
    EXPECT_EQ(first.backedUp.size(), static_cast<std::size_t>(kFiles));
    const auto all = range(1, kFiles * kLinesPerFile);
    EXPECT_EQ(received(scales[0]), all);
    EXPECT_EQ(received(scales[1]), all);

    SimChild back(
        {"--no-scan", "--db", database(2), "--scale", "127.0.0.4:" + std::to_string(downPort)});
    controller->onTimerTick(); // nothing new: the pending catch-up alone starts the run
    ASSERT_TRUE(waiter.waitFor(2));
    const RunSummary second = waiter.summaries()[1];
    EXPECT_EQ(received(scales[2], 2), all); // in the original order, once
    EXPECT_EQ(received(scales[0]), all);    // the others got nothing again
    EXPECT_EQ(received(scales[1]), all);
    EXPECT_TRUE(second.scales[0].nothingDue);
    EXPECT_TRUE(second.scales[1].nothingDue);
    EXPECT_TRUE(second.scales[2].succeeded);
    EXPECT_EQ(second.catchUps.size(), static_cast<std::size_t>(kFiles));

    controller->onTimerTick(); // level now: no run
    std::string error;
    auto journal = DeliveryJournal::open(paths.logFolder + "/delivery.db", &error);
    ASSERT_TRUE(journal) << error;
    const auto rows = journal->deliveries();
    EXPECT_EQ(rows.size(), static_cast<std::size_t>(kFiles) * scales.size());
    for (const auto& row : rows) {
        EXPECT_EQ(row.nextLine, kLinesPerFile) << row.fileId << " " << row.scale;
        EXPECT_EQ(row.closed, "");
    }
    EXPECT_TRUE(journal
                    ->pending({"127.0.0.2:" + std::to_string(scales[0].port),
                               "127.0.0.4:" + std::to_string(downPort)})
                    .empty());
    EXPECT_EQ(waiter.summaries().size(), 2u);
}

} // namespace
} // namespace ostrel
