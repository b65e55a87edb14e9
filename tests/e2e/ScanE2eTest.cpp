// ostrel --scan --save and --test against three simulated scales on 127.0.0.x. The scan
// request goes to the simulator's own loopback scan port through the broadcast override.
#include "E2eSupport.h"

#include "settings/ScaleList.h"

#include <gtest/gtest.h>

#include <gmock/gmock.h>
#include <sstream>

namespace ostrel::e2e {
namespace {

using ::testing::HasSubstr;

struct ScanningScales
{
    std::unique_ptr<ChildProcess> process;
    std::vector<std::uint16_t> ports;
    std::uint16_t scanPort = 0;

    ScanningScales(const Shop& shop, const std::vector<std::string>& scales)
    {
        // The default scan bind, 127.0.0.1, hears the loopback broadcast too.
        std::vector<std::string> argv{OSTREL_SCALE_SIM_PATH, "--db", shop.db(), "--scan-port", "0"};
        for (const auto& scale : scales) {
            argv.push_back("--scale");
            argv.push_back(scale);
        }
        process = std::make_unique<ChildProcess>(argv, std::map<std::string, std::string>{},
                                                 shop.outputPrefix("sim"));
        const auto ready = process->waitForLine("ready");
        if (!ready) {
            throw std::runtime_error("the simulator did not get ready: " + process->err());
        }
        std::istringstream words(*ready);
        std::string word;
        words >> word;
        while (words >> word) {
            const auto port =
                static_cast<std::uint16_t>(std::stoi(word.substr(word.rfind(':') + 1)));
            if (word.rfind("scan:", 0) == 0) {
                scanPort = port;
            } else {
                ports.push_back(port);
            }
        }
    }
};

TEST(ScanE2e, ScanSaveRegistersTheScalesAndTestMarksThemConnected)
{
    Shop shop;
    ScanningScales sim(shop,
                       {"127.0.0.2:0", "127.0.0.3:0:QV7600", "127.0.0.4:0:QV7100MN:123,4,15,2"});
    shop.setKey("COMMUNICATION", "SCAN PORT", "0");
    shop.setEnvironment("OSTREL_SCAN_BROADCAST", "127.255.255.255:" + std::to_string(sim.scanPort));

    const RunResult scan = shop.runOstrel({"--scan", "--save"});
    ASSERT_EQ(scan.exitCode, 0) << scan.out << scan.err;
    EXPECT_THAT(scan.out,
                HasSubstr("127.0.0.4       " + std::to_string(sim.ports[2]) + " Connected"));
    EXPECT_THAT(scan.out, HasSubstr("QV7100MN   12.3.4,15,2"));
    auto rows = readScaleListForWindow(shop.tarvikIni());
    ASSERT_EQ(rows.size(), 3u);
    std::sort(rows.begin(), rows.end(),
              [](const auto& a, const auto& b) { return a.address < b.address; });
    EXPECT_EQ(rows[1].address, "127.0.0.3");
    EXPECT_EQ(rows[1].value.port, sim.ports[1]);
    EXPECT_EQ(rows[1].model, "QV7600");
    EXPECT_EQ(rows[1].version, "1.00.1,1.0,1");

    const RunResult test = shop.runOstrel({"--test"});
    ASSERT_EQ(test.exitCode, 0) << test.out << test.err;
    std::istringstream lines(test.out);
    std::string line;
    int connected = 0;
    while (std::getline(lines, line)) {
        connected += line.find(" Connected ") != std::string::npos;
    }
    EXPECT_EQ(connected, 3) << test.out;
}

TEST(ScanE2e, TestWithoutScalesOrAnswersSaysSo)
{
    Shop shop;
    const RunResult none = shop.runOstrel({"--test"});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_THAT(none.err, HasSubstr("no scale is registered"));

    shop.addScale("127.0.0.1", 1, "QV7100", "Gone");
    const RunResult down = shop.runOstrel({"--test"});
    EXPECT_EQ(down.exitCode, 1) << down.out << down.err;
    EXPECT_THAT(down.out, HasSubstr("127.0.0.1       1     -"));

    const RunResult wrong = shop.runOstrel({"--test", "--save"});
    EXPECT_EQ(wrong.exitCode, 2);
}

} // namespace
} // namespace ostrel::e2e
