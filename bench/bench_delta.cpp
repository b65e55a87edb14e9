// bench_delta: sending only what changed. 20,000 lines to 8 simulated scales that take 2 ms
// per record: a first run (a full send), then the next day's export with 1% of its lines
// changed. Prints both times and their ratio, and the journal's size per 100,000 records held.
#include "engine/UpdateController.h"
#include "format/ConfigTemplate.h"
#include "platform/IniFile.h"
#include "platform/MessageBox.h"
#include "protocol/TcpScaleLibrary.h"

#include "SimChildProcess.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace ostrel;
using Steady = std::chrono::steady_clock;

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
    std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() -
                                               std::chrono::minutes(1));
}

// One start of the program with a start-up run; its seconds.
double oneRun(const SettingsPaths& paths, const ostrel::Clock& clock, int& unchanged)
{
    RecordingMessageSink messages;
    NullProgressSink progress;
    NullUpdateTimer timer;
    TcpScaleLibrary library;
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    UpdateController controller({paths, library, messages, progress, timer, clock});
    controller.setRunFinishedHandler([&](const RunSummary& summary) {
        const std::lock_guard lock(mutex);
        unchanged = 0;
        for (const auto& scale : summary.scales) {
            unchanged += scale.linesUnchanged;
        }
        finished = true;
        done.notify_all();
    });
    const auto start = Steady::now();
    controller.startUp();
    std::unique_lock lock(mutex);
    done.wait(lock, [&] { return finished; });
    return std::chrono::duration<double>(Steady::now() - start).count();
}

} // namespace

int main()
{
    try {
        std::string work =
            (std::filesystem::temp_directory_path() / "ostrel-bench-XXXXXX").string();
        if (::mkdtemp(work.data()) == nullptr) {
            throw std::runtime_error("mkdtemp");
        }
        std::vector<std::string> args{"--no-scan"};
        for (int i = 0; i < kScales; ++i) {
            args.insert(args.end(),
                        {"--scale", "127.0.0." + std::to_string(60 + i) + ":0", "--delay", "2"});
        }
        sim::SimChildProcess sim(args);
        const std::string documents = work + "/Documents";
        const std::string pluFolder = work + "/plu-in";
        std::filesystem::create_directories(documents);
        std::filesystem::create_directories(pluFolder);
        if (const auto report = installConfigTemplate(findConfigTemplateDir(), documents);
            !report.ok) {
            throw std::runtime_error(report.error);
        }
        const SettingsPaths paths = SettingsPaths::fromDocuments(documents);
        const std::string& ini = paths.tarvikIni;
        writeProfileString("PATH", "PLU ROOT", pluFolder, ini);
        writeProfileString("PATH", "PREFIX", "PLU", ini);
        writeProfileString("PATH", "EXTENTION", "TXT", ini);
        writeProfileString("SENDFILE", "ONLY CHANGED", "1", ini);
        for (int i = 0; i < kScales; ++i) {
            char slot[8];
            std::snprintf(slot, sizeof(slot), "IP%03d", i);
            writeProfileString("IPLIST", slot,
                               "127.0.0." + std::to_string(60 + i) + ":" +
                                   std::to_string(sim.scalePort(static_cast<std::size_t>(i))) +
                                   ",S",
                               ini);
            writeProfileString("MODEL", slot, "QV7100", ini);
            writeProfileString("SCALEVERSION", slot, "1.00,1.0,1", ini);
        }
        FixedDay clock;
        int unchanged = 0;
        writeExport(pluFolder + "/PLU0001.TXT", 0);
        const double full = oneRun(paths, clock, unchanged);
        clock.nextDay();
        writeExport(pluFolder + "/PLU0002.TXT", 1);
        const double delta = oneRun(paths, clock, unchanged);
        const auto journalBytes = std::filesystem::file_size(paths.logFolder + "/delivery.db");
        if (std::getenv("OSTREL_BENCH_KEEP") == nullptr) {
            std::filesystem::remove_all(work);
        } else {
            std::printf("kept %s\n", work.c_str());
        }
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
