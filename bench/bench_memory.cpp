// bench_memory: what a run holds in memory for big files. Builds a 200 MB file of short
// lines, a 200 MB file of 2 KB lines and a 1,000,000-line file, sends each in its own process
// to a simulated scale (in-memory store) and prints that process's peak RSS (VmHWM), its
// largest anonymous memory (RssAnon, sampled through the run) and lines per second, with the
// ratios to the bounds: peak RSS at most the file plus 100 MB, RssAnon at most 150 MB.
#include "BenchShop.h"
#include "SimChildProcess.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace ostrel;

constexpr double kMiB = 1024.0 * 1024.0;

struct Case
{
    const char* name;
    std::uint64_t bytes = 0; // write lines until the file has this many
    std::uint64_t lines = 0; // or this many lines
    std::size_t textLength = 0;
    const char* nameTail = ""; // after "Item <n>"
};

// One line of an export: department, PLU, item code, name, price, code, and a long text.
std::uint64_t writeCase(const Case& c, const std::string& path)
{
    std::ofstream data(path, std::ios::binary);
    const std::string text(c.textLength, 'i');
    std::uint64_t written = 0;
    std::uint64_t line = 0;
    std::string buffer;
    while ((c.bytes != 0 && written < c.bytes) || (c.lines != 0 && line < c.lines)) {
        buffer = "1," + std::to_string(1 + line % 100000) + ",0,Item " + std::to_string(line) +
                 c.nameTail + "," + std::to_string(line % 100) + ".49," + std::to_string(line);
        if (!text.empty()) {
            buffer += "," + text;
        }
        buffer += "\r\n";
        data << buffer;
        written += buffer.size();
        ++line;
    }
    data.close();
    if (!data) {
        throw std::runtime_error("cannot write " + path);
    }
    bench::settle(path);
    return line;
}

// A "Name:  1234 kB" line of /proc/self/status, in bytes.
double statusBytes(const char* name)
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == name) {
            double kb = 0;
            status >> kb;
            return kb * 1024;
        }
        status.ignore(1 << 12, '\n');
    }
    return 0;
}

// In the child: one run of the file; prints its figures.
void measure(const Case& c, const std::string& dataFile, std::uint64_t lines, std::uint16_t port)
{
    const bench::BenchShop shop({port}, 70);
    std::filesystem::create_hard_link(dataFile, shop.pluFolder + "/PLU0001.TXT");
    std::atomic<bool> running{true};
    std::atomic<double> anonPeak{statusBytes("RssAnon:")};
    std::thread sampler([&] {
        while (running) {
            const double anon = statusBytes("RssAnon:");
            if (anon > anonPeak) {
                anonPeak = anon;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    ostrel::SystemClock clock;
    const bench::RunTiming run = bench::runOnce(shop.paths, clock);
    running = false;
    sampler.join();
    const double fileBytes = static_cast<double>(std::filesystem::file_size(dataFile));
    const double peak = statusBytes("VmHWM:");
    int accepted = 0;
    for (const auto& scale : run.summary.scales) {
        accepted += scale.linesAccepted;
    }
    std::printf("%-24s %8.1f %10llu %10d %9.1f %9.1f %10.0f %8.2f %8.2f\n", c.name,
                fileBytes / kMiB, static_cast<unsigned long long>(lines), accepted, peak / kMiB,
                anonPeak.load() / kMiB, static_cast<double>(lines) / run.seconds,
                peak / (fileBytes + 100 * kMiB), anonPeak.load() / (150 * kMiB));
    std::fflush(stdout);
    shop.removeUnlessKept();
}

} // namespace

int main()
{
    try {
        const Case cases[] = {
            {"200 MB of short lines", 200'000'000, 0, 0, " Golden Delicious 1kg"},
            {"200 MB of 2 KB lines", 200'000'000, 0, 2000},
            {"1,000,000 lines", 0, 1'000'000, 0},
        };
        sim::SimChildProcess sim({"--no-scan", "--scale", "127.0.0.70:0"});
        const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                             ("ostrel-bench-memory-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        std::printf("%-24s %8s %10s %10s %9s %9s %10s %8s %8s\n", "file", "MiB", "lines",
                    "accepted", "peak MiB", "anon MiB", "lines/s", "peak/bd", "anon/bd");
        std::printf("(peak/bd: peak RSS over the file plus 100 MiB; anon/bd: RssAnon over "
                    "150 MiB; at most 1 is within bounds)\n");
        std::fflush(stdout);
        int failures = 0;
        for (const Case& c : cases) {
            const std::string path = (folder / "export.txt").string();
            const std::uint64_t lines = writeCase(c, path);
            const pid_t child = ::fork();
            if (child == 0) {
                try {
                    measure(c, path, lines, sim.scalePort(0));
                    ::_exit(0);
                } catch (const std::exception& error) {
                    std::fprintf(stderr, "bench_memory: %s\n", error.what());
                    ::_exit(1);
                }
            }
            int status = 0;
            if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
                WEXITSTATUS(status) != 0) {
                ++failures;
            }
            std::filesystem::remove(path);
        }
        std::filesystem::remove_all(folder);
        return failures == 0 ? 0 : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_memory: %s\n", error.what());
        return 1;
    }
}
