// The fault matrix's shop: two simulated scales on addresses of their own, a helper that
// drops data files and remembers what every scale must end up holding, and the check that
// every scale holds exactly that with the delivery journal level.
#pragma once

#include "E2eSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ostrel::e2e {

// Addresses of their own, so no scale of a test running beside these takes their ports.
inline const std::string kIpA = "127.0.9.2";
inline const std::string kIpB = "127.0.9.3";

class FaultMatrixE2e : public ::testing::Test
{
protected:
    FaultMatrixE2e() : m_ports{test::closedPortOn(kIpA), test::closedPortOn(kIpB)} {}

    // (Re)starts the simulator on the scales' fixed ports, with these faults.
    void serve(const std::vector<std::string>& faultsA = {},
               const std::vector<std::string>& faultsB = {}, bool serveA = true)
    {
        if (m_sim) {
            m_sim->stop();
        }
        m_sim.reset();
        std::vector<SimScaleSpec> specs;
        if (serveA) {
            specs.emplace_back(kIpA, "QV7100", faultsA);
            specs.back().port = m_ports[0];
        }
        specs.emplace_back(kIpB, "QV7600", faultsB);
        specs.back().port = m_ports[1];
        m_sim = std::make_unique<SimulatedScales>(
            specs, shop.db(), shop.outputPrefix("sim" + std::to_string(++m_sims)));
    }

    void registerScales(const std::string& modelA = "QV7100")
    {
        shop.addScale(kIpA, m_ports[0], modelA);
        shop.addScale(kIpB, m_ports[1], "QV7600");
    }

    // Drops PLU<name>.TXT with `count` lines from PLU `first`, and expects them on every scale.
    std::string drop(const std::string& name, int first, int count, int ageSeconds = 60,
                     const std::string& before = "", const std::string& after = "")
    {
        for (int plu = first; plu < first + count; ++plu) {
            m_expected[plu] = plu * 100LL + 25;
        }
        return shop.dropFile(name, before + separatedLines(first, count) + after, ageSeconds);
    }

    RunResult once() { return shop.runOstrel({"--once"}); }

    std::string key(int scale) const
    {
        return (scale == 0 ? kIpA : kIpB) + ":" + std::to_string(m_ports[scale]);
    }
    std::size_t received(int scale) const { return receivedRecords(shop.db(), key(scale)).size(); }

    // Every scale holds exactly the expected records, and the journal has nothing open.
    void expectLevel()
    {
        for (int scale = 0; scale < 2; ++scale) {
            std::map<long long, long long> held;
            for (const StoredRecord& record : currentRecords(shop.db(), key(scale))) {
                held[record.pluNumber] = record.price;
            }
            EXPECT_EQ(held, m_expected) << key(scale);
        }
        EXPECT_THAT(journalGaps(shop.journalFile()), ::testing::IsEmpty());
    }

    // Triggers until a run reports nothing left to do, at most `limit` times.
    void catchUp(int limit = 2)
    {
        for (int i = 0; i < limit; ++i) {
            const RunResult run = once();
            ASSERT_NE(run.exitCode, -1) << run.err;
            if (run.exitCode == 0) {
                return;
            }
        }
    }

    std::vector<std::string> backups() const
    {
        std::vector<std::string> names;
        for (const auto& name : shop.pluFolderNames()) {
            if (name.ends_with(".bak")) {
                names.push_back(name);
            }
        }
        return names;
    }

    Shop shop;
    std::uint16_t m_ports[2];
    std::unique_ptr<SimulatedScales> m_sim;
    std::map<long long, long long> m_expected;
    int m_sims = 0;
};

} // namespace ostrel::e2e
