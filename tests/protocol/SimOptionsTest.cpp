// The simulator's command line.
#include "SimOptions.h"

#include <gtest/gtest.h>

namespace ostrel::sim {
namespace {

TEST(SimOptions, ScalesTakeModelVersionAndTheFaultsThatFollowThem)
{
    const auto parsed = parseArguments(
        {"--scale", "127.0.0.2:20304:QV7100MN:123,4,15,2", "--refuse-first", "2:E88", "--delay",
         "5", "--scale", "127.0.0.3:20305:TZ47", "--refuse-every", "3", "--drop-after", "4",
         "--silent-after", "6", "--db", "x.db", "--scan-port", "0"});
    ASSERT_TRUE(parsed.config) << parsed.error;
    const auto& c = *parsed.config;
    ASSERT_EQ(c.scales.size(), 2u);
    EXPECT_EQ(c.scales[0].modelCode, 7110);
    EXPECT_EQ(c.scales[0].version1, 123);
    EXPECT_EQ(c.scales[0].version3, 15);
    EXPECT_EQ(c.scales[0].version4, 2);
    EXPECT_EQ(c.scales[0].faults.refuseFirst, 2);
    EXPECT_EQ(c.scales[0].faults.refuseFirstText, "E88");
    EXPECT_EQ(c.scales[0].faults.delayMs, 5);
    EXPECT_EQ(c.scales[0].faults.dropAfter, -1);
    EXPECT_EQ(c.scales[1].modelCode, 470);
    EXPECT_EQ(c.scales[1].faults.refuseEvery, 3);
    EXPECT_EQ(c.scales[1].faults.refuseEveryText, "E12");
    EXPECT_EQ(c.scales[1].faults.dropAfter, 4);
    EXPECT_EQ(c.scales[1].faults.silentAfter, 6);
    EXPECT_EQ(c.dbPath, "x.db");
    EXPECT_EQ(c.scanPort, 0);
}

TEST(SimOptions, RefusesWhatItCannotServe)
{
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--delay", "5", "--scale", "127.0.0.2:1"}, // fault before any scale
        {"--scale", "127.0.0.2"},
        {"--scale", "127.0.0.2:70000"},
        {"--scale", "localhost:1"},
        {"--scale", "127.0.0.2:1:QV9999"},
        {"--scale", "127.0.0.2:1:QV7100:1,2,3"},
        {"--scale", "127.0.0.2:1", "--refuse-first", "0"},
        {"--scale", "127.0.0.2:1", "--frobnicate", "1"},
        {"--scale", "127.0.0.2:1", "--db"},
    };
    for (const auto& args : bad) {
        const auto parsed = parseArguments(args);
        EXPECT_FALSE(parsed.config);
        EXPECT_FALSE(parsed.error.empty());
    }
    EXPECT_TRUE(parseArguments({"--help"}).config->help);
}

} // namespace
} // namespace ostrel::sim
