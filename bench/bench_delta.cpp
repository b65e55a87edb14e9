// bench_delta: sending only what changed. 20,000 lines to 8 simulated scales that take 2 ms
// per record: a first run (a full send), then the next day's export with 1% of its lines
// changed. Prints both times and their ratio, and the journal's size per 100,000 records held.
#include "BenchShop.h"
#include "SimChildProcess.h"
#include "platform/IniFile.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace ostrel;

constexpr int kScales = 8;
constexpr int kLines = 20000;
constexpr int kChangedEvery = 100; // 1%

class FixedDay final : public ostrel::Clock
{
public:
    LocalTime now() const override { return m_now; }
    void nextDay() { m_now = toLocalTime(m_unix += 86400); }

private:
    std::int64_t m_unix = 1'780'000'000;
    LocalTime m_now = toLocalTime(m_unix);
};

void writeExport(const std::string& path, int day)
{
    std::ofstream data(path, std::ios::binary);
    for (int line = 0; line < kLines; ++line) {
        const int cents = 99 + (line % kChangedEvery == 0 ? day : 0);
        data << "1," << 200000 + line << ",0,Item " << line << "," << line % 100 << "."
             << cents % 100 << "," << line << "\r\n";
    }
    data.close();
    bench::settle(path);
}

int unchangedOf(const RunSummary& summary)
{
    int unchanged = 0;
    for (const auto& scale : summary.scales) {
        unchanged += scale.linesUnchanged;
    }
    return unchanged;
}

} // namespace

int main()
{
    try {
        std::vector<std::string> args{"--no-scan"};
        for (int i = 0; i < kScales; ++i) {
            args.insert(args.end(),
                        {"--scale", "127.0.0." + std::to_string(60 + i) + ":0", "--delay", "2"});
        }
        sim::SimChildProcess sim(args);
        const bench::BenchShop shop(sim.scalePorts(), 60);
        const SettingsPaths& paths = shop.paths;
        writeProfileString("SENDFILE", "ONLY CHANGED", "1", paths.tarvikIni);
        const std::string& pluFolder = shop.pluFolder;
        FixedDay clock;
        writeExport(pluFolder + "/PLU0001.TXT", 0);
        const double full = bench::runOnce(paths, clock).seconds;
        clock.nextDay();
        writeExport(pluFolder + "/PLU0002.TXT", 1);
        const bench::RunTiming next = bench::runOnce(paths, clock);
        const double delta = next.seconds;
        const int unchanged = unchangedOf(next.summary);
        const auto journalBytes = std::filesystem::file_size(paths.logFolder + "/delivery.db");
        shop.removeUnlessKept();
        const double held = static_cast<double>(kScales) * kLines;
        std::printf("%d lines to %d simulated scales at 2 ms per record\n", kLines, kScales);
        std::printf("full send: %.2f s\n", full);
        std::printf("next day, 1%% changed: %.2f s (%d records unchanged)\n", delta, unchanged);
        std::printf("journal: %.1f MB per 100,000 records held\n",
                    static_cast<double>(journalBytes) / held * 100000 / 1e6);
        std::printf("ratio full/delta: %.1f\n", full / delta);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_delta: %s\n", error.what());
        return 1;
    }
}
