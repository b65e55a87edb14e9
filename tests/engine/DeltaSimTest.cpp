// Sending only what changed, against the real scale link and simulated scales: a shop with the
// option on and a shop with it off get the same month of daily exports (prices and names
// changed, items deleted and added again) and the same scale faults. After every day each
// scale of the first holds byte for byte what the same scale of the second holds.
#include "RunTestSupport.h"
#include "TestSupport.h"

#include "protocol/TcpScaleLibrary.h"

#include "SimChildProcess.h"
#include "SimStoreReader.h"

#include <gtest/gtest.h>

#include <random>

namespace ostrel {
namespace {

using SimChild = sim::SimChildProcess;
using test::ScaleConfig;

class DayClock final : public Clock
{
public:
    LocalTime now() const override { return m_now; }
    void nextDay() { m_now = toLocalTime(m_unix += 86400); }

private:
    std::int64_t m_unix = 1'780'000'000;
    LocalTime m_now = toLocalTime(m_unix);
};

// One shop: its folder, its simulated scales on fixed ports, its engine.
class DeltaShop final : public test::RunFolder
{
public:
    DeltaShop(const std::string& addressPrefix, bool onlyChanged, const DayClock& days)
        : m_days(days)
    {
        for (const char* host : {"2", "3"}) {
            const std::string ip = addressPrefix + host;
            scales.push_back({ip, test::closedPortOn(ip), "QV7100"});
        }
        test::writeFile(paths.pluIdIni,
                        "[PLU ID]\nID01=0001\nID02=0002\nID03=0010\nID04=0006\nID05=0101\n");
        writeSettings(scales, std::string("[CYCLE]\nDecimal Point=2\n[SENDFILE]\nSETTLE "
                                          "SECONDS=0\nFULL EVERY DAYS=7\nONLY CHANGED=") +
                                  (onlyChanged ? "1" : "0") + "\n");
        serve(-1);
    }

    // (Re)starts the simulator; the first scale drops its connection after `dropAfter`
    // records when that is not negative.
    void serve(int dropAfter)
    {
        sim.reset();
        std::vector<std::string> args{"--no-scan", "--db", dir.file("sim.db")};
        for (std::size_t i = 0; i < scales.size(); ++i) {
            args.insert(args.end(),
                        {"--scale", scales[i].ip + ":" + std::to_string(scales[i].port)});
            if (i == 0 && dropAfter >= 0) {
                args.insert(args.end(), {"--drop-after", std::to_string(dropAfter)});
            }
        }
        sim = std::make_unique<SimChild>(args);
    }

    // One start of the program: its start-up run. One engine at a time may take the scale
    // library's calls, so the two shops take turns; what they know lies in their journals.
    RunSummary trigger()
    {
        TcpScaleLibraryOptions options;
        options.connectTimeout = std::chrono::milliseconds(1000);
        TcpScaleLibrary library(options);
        test::RunWaiter waiter;
        UpdateController controller({paths, library, messages, progress, timer, m_days});
        waiter.attach(controller);
        controller.startUp();
        if (controller.runOrReportBusy()) {
            EXPECT_TRUE(waiter.waitFor(1));
        }
        const auto summaries = waiter.summaries();
        return summaries.empty() ? RunSummary{} : summaries.back();
    }

    std::map<std::pair<int, int>, std::string> table(std::size_t scale) const
    {
        return test::storedTable(dir.file("sim.db"),
                                 scales[scale].ip + ":" + std::to_string(scales[scale].port));
    }

    std::vector<ScaleConfig> scales;
    std::unique_ptr<SimChild> sim;

private:
    const DayClock& m_days;
};

TEST(DeltaSimTest, AMonthOfExportsLeavesEveryScaleAsAFullSendWould)
{
    DayClock days;
    DeltaShop on("127.0.5.", true, days);
    DeltaShop off("127.0.6.", false, days);
    std::mt19937 random(20261209);
    struct Item
    {
        std::string name;
        int cents = 0;
        bool deleted = false;
    };
    std::map<int, Item> items;
    for (int plu = 1; plu <= 40; ++plu) {
        items[plu] = {"Item " + std::to_string(plu), 100 + plu};
    }
    int onReceived = 0;
    int offReceived = 0;
    for (int day = 1; day <= 30; ++day) {
        SCOPED_TRACE("day " + std::to_string(day));
        days.nextDay();
        std::vector<std::string> lines;
        for (auto& [plu, item] : items) {
            const unsigned roll = random() % 100;
            if (roll < 8) {
                item.cents += static_cast<int>(random() % 50) + 1;
            } else if (roll < 10) {
                item.name += "*";
            } else if (roll < 12) {
                item.deleted = !item.deleted;
                if (item.deleted) {
                    lines.push_back("1," + std::to_string(plu) + ",gone,0,D");
                    continue;
                }
            }
            if (!item.deleted) {
                lines.push_back("1," + std::to_string(plu) + "," + item.name + "," +
                                std::to_string(item.cents / 100) + "." +
                                std::to_string(item.cents % 100 / 10) +
                                std::to_string(item.cents % 10));
            }
        }
        const int dropAfter = random() % 4 == 0 ? static_cast<int>(random() % 30) : -1;
        for (DeltaShop* shop : {&on, &off}) {
            shop->writeData("PLU" + std::to_string(100 + day) + ".TXT", lines);
            if (dropAfter >= 0) {
                shop->serve(dropAfter);
            }
            RunSummary summary = shop->trigger();
            if (shop == &on && (day == 1 || day == 8)) {
                EXPECT_TRUE(summary.scales[1].fullSend); // none before, then seven days on
            }
            if (dropAfter >= 0) {
                shop->serve(-1);
                summary = shop->trigger(); // the catch-up
            }
            for (const auto& scale : summary.scales) {
                EXPECT_TRUE(scale.succeeded) << scale.ipText << ": " << scale.reason;
                (shop == &on ? onReceived : offReceived) += scale.linesAccepted;
            }
        }
        for (std::size_t scale = 0; scale < 2; ++scale) {
            const auto expected = off.table(scale);
            ASSERT_EQ(on.table(scale), expected) << "scale " << scale;
            std::size_t present = 0;
            for (const auto& [plu, item] : items) {
                present += item.deleted ? 0 : 1;
            }
            ASSERT_EQ(expected.size(), present);
        }
    }
    // The point of it: far fewer records went out.
    EXPECT_LT(onReceived * 3, offReceived) << onReceived << " of " << offReceived;
}

} // namespace
} // namespace ostrel
