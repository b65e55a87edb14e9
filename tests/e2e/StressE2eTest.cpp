// Eight scales, two thousand lines, refusals and drops all at once: every scale must end, with
// one outcome each, and under ThreadSanitizer without a report.
#include "E2eSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <iostream>
#include <random>

namespace ostrel::e2e {
namespace {

TEST(StressE2e, EightScalesTwoThousandLinesWithRefusalsAndDrops)
{
    Shop shop;
    std::mt19937 random(20261208); // fixed: a failure must be repeatable
    std::vector<SimScaleSpec> specs;
    const char* models[] = {"QV7100", "QV7600", "QV7100MN"};
    for (int i = 0; i < 8; ++i) {
        SimScaleSpec setup("127.0.0." + std::to_string(10 + i), models[random() % 3]);
        switch (random() % 4) {
        case 0:
            setup.faults = {"--refuse-every", std::to_string(3 + random() % 20) + ":E12"};
            break;
        case 1:
            setup.faults = {"--refuse-every", std::to_string(5 + random() % 20) + ":E88"};
            break;
        case 2:
            setup.faults = {"--drop-after", std::to_string(100 + random() % 1800)};
            break;
        default:
            break; // a healthy scale
        }
        specs.push_back(setup);
    }
    SimulatedScales sim(specs, shop.db(), shop.outputPrefix("sim"));
    for (std::size_t i = 0; i < specs.size(); ++i) {
        shop.addScale(specs[i].ip, sim.port(i), specs[i].model);
    }
    shop.dropFile("A", separatedLines(1, 1000), 120);
    shop.dropFile("B", separatedLines(5001, 1000), 60);

    const auto started = std::chrono::steady_clock::now();
    const RunResult run = shop.runOstrel({"--once"}, std::chrono::seconds(600));
    const auto seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    // The figures of the run, for whoever reads the test log.
    std::cout << run.out << "run took " << seconds << " s\n";
    ASSERT_NE(run.exitCode, -1) << "the run did not end";
    EXPECT_THAT(run.exitCode, ::testing::AnyOf(0, 1)) << run.err;
    EXPECT_THAT(run.err, ::testing::Not(::testing::HasSubstr("ThreadSanitizer")));
    EXPECT_THAT(run.out, ::testing::HasSubstr("2 file(s), 2000 line(s)"));

    // Every scale finished: an opening line per file, and for a failed one a FAILED line each.
    const auto lines = shop.logLines();
    for (const SimScaleSpec& setup : specs) {
        int success = 0;
        int failed = 0;
        for (const std::string& line : lines) {
            success += line.ends_with(" : " + setup.ip + " - SUCCESS") ? 1 : 0;
            failed += line.ends_with(" : " + setup.ip + " - FAILED") ? 1 : 0;
        }
        EXPECT_EQ(success, 2) << setup.ip;
        EXPECT_THAT(failed, ::testing::AnyOf(0, 2)) << setup.ip;
        const bool summaryFailed = run.out.find("scale " + setup.ip + " (") != std::string::npos &&
                                   run.out.find("scale " + setup.ip + " (Scale " + setup.ip +
                                                "): SUCCESS") == std::string::npos;
        EXPECT_EQ(summaryFailed, failed == 2) << setup.ip;
    }
}

} // namespace
} // namespace ostrel::e2e
