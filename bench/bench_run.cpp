// bench_run: one whole update run (20,000 lines to 8 simulated scales) side by side with the
// raw scale-link ping-pong (send a record, wait for its reply, send the next) to the same
// scales. The ratio shows what reading, parsing, logging and the run's bookkeeping cost on
// top of the wire.
#include "engine/UpdateController.h"
#include "format/ConfigTemplate.h"
#include "platform/IniFile.h"
#include "platform/MessageBox.h"
#include "protocol/TcpScaleLibrary.h"

#include "SimChildProcess.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace ostrel;
using Clock = std::chrono::steady_clock;

constexpr int kScales = 8;
constexpr int kLines = 20000;

struct Scale
{
    std::string ip;
    std::uint16_t port = 0;
};

std::vector<std::string> simulatorArguments(const std::vector<Scale>& scales)
{
    std::vector<std::string> args{"--no-scan"};
    for (const Scale& scale : scales) {
        args.push_back("--scale");
        args.push_back(scale.ip + ":0:QV7100");
    }
    return args;
}

void takePorts(std::vector<Scale>& scales, const sim::SimChildProcess& sim)
{
    for (std::size_t i = 0; i < scales.size(); ++i) {
        scales[i].port = sim.scalePort(i);
    }
}

// The raw ping-pong: the library's callbacks send the next record straight away.
struct PingPong
{
    TcpScaleLibrary* library = nullptr;
    std::vector<std::string> ips;
    std::vector<std::array<std::uint8_t, kPluRecordSize>> records;
    std::vector<std::atomic<int>> sent = std::vector<std::atomic<int>>(kScales);
    std::atomic<int> finished{0};
    std::mutex mutex;
    std::condition_variable done;
};
PingPong* g_pingPong = nullptr;

int sendRecord(int scale, int line)
{
    auto& record = g_pingPong->records[static_cast<std::size_t>(line)];
    SendBlock block;
    block.ipText = g_pingPong->ips[static_cast<std::size_t>(scale)].c_str();
    block.modelCode = 7100;
    block.actionCode = 3;
    block.dataSize = kPluRecordSize;
    block.data = record.data();
    return g_pingPong->library->SendDataEx(block);
}

void scaleFinished()
{
    if (++g_pingPong->finished == kScales) {
        const std::lock_guard lock(g_pingPong->mutex);
        g_pingPong->done.notify_all();
    }
}

int onRawReply(SendBlock block)
{
    for (int i = 0; i < kScales; ++i) {
        if (g_pingPong->ips[static_cast<std::size_t>(i)] == block.ipText) {
            const int next = ++g_pingPong->sent[static_cast<std::size_t>(i)];
            if (next < kLines) {
                sendRecord(i, next);
            } else {
                scaleFinished();
            }
        }
    }
    return 1;
}

int onRawEvent(SendBlock)
{
    return 0;
}

double rawPingPong(const std::vector<Scale>& scales)
{
    TcpScaleLibrary library;
    PingPong state;
    state.library = &library;
    for (int line = 0; line < kLines; ++line) {
        // Department 1, the PLU number, a name and a price, where the record keeps them.
        std::array<std::uint8_t, kPluRecordSize> record{};
        const auto put = [&record](std::size_t offset, std::uint32_t value, std::size_t width) {
            for (std::size_t i = 0; i < width; ++i) {
                record[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
            }
        };
        put(0, 1, 2);
        put(2, static_cast<std::uint32_t>(100000 + line), 4);
        put(6, 1, 1);
        const std::string name = "Item " + std::to_string(line);
        std::copy(name.begin(), name.end(), record.begin() + 7);
        put(443, static_cast<std::uint32_t>(1000 + line), 4);
        state.records.push_back(record);
    }
    for (const Scale& scale : scales) {
        state.ips.push_back(scale.ip);
    }
    g_pingPong = &state;
    library.SetCommLibrary(1, "VEKTCPIP.DLL", 1);
    library.AddInterpreter(100, 7100, "QVInterpreter.DLL");
    for (const Scale& scale : scales) {
        ConnectionBlock block;
        block.ipText = scale.ip.c_str();
        block.port = scale.port;
        block.modelCode = 7100;
        block.onReply = &onRawReply;
        block.onEvent = &onRawEvent;
        library.AddConnectionEx(block);
        library.Connect(scale.ip.c_str(), -1);
    }
    const auto start = Clock::now();
    for (int i = 0; i < kScales; ++i) {
        sendRecord(i, 0);
    }
    {
        std::unique_lock lock(state.mutex);
        state.done.wait(lock, [&] { return state.finished.load() == kScales; });
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    for (const Scale& scale : scales) {
        library.Disconnect(scale.ip.c_str(), -1);
    }
    g_pingPong = nullptr;
    return kScales * static_cast<double>(kLines) / seconds;
}

double wholeRun(const std::vector<Scale>& scales, const std::string& work)
{
    const std::string documents = work + "/Documents";
    const std::string pluFolder = work + "/plu-in";
    std::filesystem::create_directories(documents);
    std::filesystem::create_directories(pluFolder);
    const auto report = installConfigTemplate(findConfigTemplateDir(), documents);
    if (!report.ok) {
        throw std::runtime_error(report.error);
    }
    const std::string ini = documents + "/VEK/Ostrel/Config/Tarvik.ini";
    writeProfileString("PATH", "PLU ROOT", pluFolder, ini);
    writeProfileString("PATH", "PREFIX", "PLU", ini);
    writeProfileString("PATH", "EXTENTION", "TXT", ini);
    for (int i = 0; i < kScales; ++i) {
        char slot[8];
        std::snprintf(slot, sizeof(slot), "IP%03d", i);
        const Scale& scale = scales[static_cast<std::size_t>(i)];
        writeProfileString("IPLIST", slot, scale.ip + ":" + std::to_string(scale.port) + ",S", ini);
        writeProfileString("MODEL", slot, "QV7100", ini);
        writeProfileString("SCALEVERSION", slot, "1.00,1.0,1", ini);
    }
    {
        std::ofstream data(pluFolder + "/PLU0001.TXT", std::ios::binary);
        for (int line = 0; line < kLines; ++line) {
            data << "1," << 200000 + line << ",0,Item " << line << "," << line % 100 << ".99,"
                 << line << "\r\n";
        }
    }
    // Written a while ago: the run measured here does not wait for the file to settle.
    std::filesystem::last_write_time(pluFolder + "/PLU0001.TXT",
                                     std::filesystem::file_time_type::clock::now() -
                                         std::chrono::minutes(1));

    RecordingMessageSink messages;
    NullProgressSink progress;
    NullUpdateTimer timer;
    SystemClock clock;
    TcpScaleLibrary library;
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    UpdateController controller(
        {SettingsPaths::fromDocuments(documents), library, messages, progress, timer, clock});
    controller.setRunFinishedHandler([&](const RunSummary&) {
        const std::lock_guard lock(mutex);
        finished = true;
        done.notify_all();
    });
    const auto start = Clock::now();
    controller.startUp();
    {
        std::unique_lock lock(mutex);
        done.wait(lock, [&] { return finished; });
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return kScales * static_cast<double>(kLines) / seconds;
}

} // namespace

int main()
{
    try {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "ostrel-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp");
        }
        std::vector<Scale> scales;
        for (int i = 0; i < kScales; ++i) {
            scales.push_back({"127.0.0." + std::to_string(30 + i), 0});
        }
        double raw = 0;
        double run = 0;
        {
            sim::SimChildProcess sim(simulatorArguments(scales));
            takePorts(scales, sim);
            raw = rawPingPong(scales);
        }
        {
            sim::SimChildProcess sim(simulatorArguments(scales));
            takePorts(scales, sim);
            run = wholeRun(scales, pattern);
        }
        std::filesystem::remove_all(pattern);
        std::printf("%d lines to %d simulated scales (%d records)\n", kLines, kScales,
                    kLines * kScales);
        std::printf("raw ping-pong records/s: %.0f\n", raw);
        std::printf("run records/s: %.0f\n", run);
        std::printf("ratio to raw ping-pong: %.2f\n", run / raw);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_run: %s\n", error.what());
        return 1;
    }
}
