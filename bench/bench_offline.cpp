// bench_offline: whole update runs to simulated scales that take 2 ms per record.
//   bench_offline            8 working scales x 500 lines, without and then with 8 offline
//                            scales placed first in the list; prints both run times, their
//                            ratio and what the offline scales added.
//   bench_offline --latency  1, 8 and 64 such scales; prints the records per second of each
//                            and the ratios to one scale.
// An offline scale is a loopback address whose listening socket has a full accept queue, so
// the kernel drops its connects as it would for a scale that is switched off.
#include "engine/UpdateController.h"
#include "format/ConfigTemplate.h"
#include "platform/IniFile.h"
#include "platform/MessageBox.h"
#include "protocol/TcpScaleLibrary.h"

#include "SimChildProcess.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace ostrel;
using Clock = std::chrono::steady_clock;

constexpr int kLines = 500;
constexpr int kDelayMs = 2;

struct Scale
{
    std::string ip;
    std::uint16_t port = 0;
};

class Fd final
{
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Fd(Fd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// A listening socket on `ip` that never accepts, with its queue filled by connections of its
// own: further connects get no answer.
class OfflineScale final
{
public:
    explicit OfflineScale(const std::string& ip) : m_listener(::socket(AF_INET, SOCK_STREAM, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        ::inet_pton(AF_INET, ip.c_str(), &address.sin_addr);
        if (::bind(m_listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            ::listen(m_listener.get(), 0) != 0) {
            throw std::runtime_error("cannot listen on " + ip);
        }
        socklen_t length = sizeof(address);
        ::getsockname(m_listener.get(), reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        // A backlog of 0 queues one connection; two more make sure no slot is left.
        for (int i = 0; i < 3; ++i) {
            Fd filler(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
            ::connect(filler.get(), reinterpret_cast<sockaddr*>(&address), sizeof(address));
            m_fillers.push_back(std::move(filler));
        }
    }
    std::uint16_t port() const { return m_port; }

private:
    Fd m_listener;
    std::vector<Fd> m_fillers;
    std::uint16_t m_port = 0;
};

std::vector<Scale> loopbackScales(int count, int firstHost)
{
    std::vector<Scale> scales;
    for (int i = 0; i < count; ++i) {
        const int host = firstHost + i;
        scales.push_back(
            {"127.0." + std::to_string(host / 250) + "." + std::to_string(2 + host % 250), 0});
    }
    return scales;
}

std::vector<std::string> simulatorArguments(const std::vector<Scale>& scales)
{
    std::vector<std::string> args{"--no-scan"};
    for (const Scale& scale : scales) {
        args.push_back("--scale");
        args.push_back(scale.ip + ":0:QV7100");
        args.push_back("--delay");
        args.push_back(std::to_string(kDelayMs));
    }
    return args;
}

// One run from start-up to its end, in seconds; `scales` in list order.
double timedRun(const std::vector<Scale>& scales, const std::string& work)
{
    std::filesystem::remove_all(work);
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
    for (std::size_t i = 0; i < scales.size(); ++i) {
        char slot[24];
        std::snprintf(slot, sizeof(slot), "IP%03zu", i);
        const Scale& scale = scales[i];
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
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A run to `working` simulated scales, behind `offline` ones when given.
double runWith(std::vector<Scale> working, const std::vector<Scale>& offline,
               const std::string& work)
{
    sim::SimChildProcess sim(simulatorArguments(working));
    for (std::size_t i = 0; i < working.size(); ++i) {
        working[i].port = sim.scalePort(i);
    }
    std::vector<OfflineScale> sockets;
    std::vector<Scale> list;
    for (const Scale& scale : offline) {
        sockets.emplace_back(scale.ip);
        list.push_back({scale.ip, sockets.back().port()});
    }
    list.insert(list.end(), working.begin(), working.end());
    return timedRun(list, work);
}

void offlineBench(const std::string& work)
{
    const auto working = loopbackScales(8, 40);
    const auto offline = loopbackScales(8, 60);
    const double without = runWith(working, {}, work);
    const double with = runWith(working, offline, work);
    std::printf("%d lines to 8 simulated scales at %d ms per record\n", kLines, kDelayMs);
    std::printf("run without offline scales: %.2f s\n", without);
    std::printf("run with 8 offline scales first: %.2f s\n", with);
    std::printf("added by the offline scales: %.2f s (connect time limit 2 s)\n", with - without);
    std::printf("ratio with / without: %.2f\n", with / without);
}

void latencyBench(const std::string& work)
{
    std::printf("%d lines per scale at %d ms per record\n", kLines, kDelayMs);
    double one = 0;
    for (const int count : {1, 8, 64}) {
        const double seconds = runWith(loopbackScales(count, 100), {}, work);
        const double rate = count * static_cast<double>(kLines) / seconds;
        if (count == 1) {
            one = rate;
        }
        std::printf("%2d scale(s): %.2f s, records/s: %.0f, ratio to one scale: %.2f\n", count,
                    seconds, rate, rate / one);
    }
}

} // namespace

int main(int argc, char** argv)
{
    try {
        const bool latency = argc > 1 && std::strcmp(argv[1], "--latency") == 0;
        std::string pattern =
            (std::filesystem::temp_directory_path() / "ostrel-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp");
        }
        if (latency) {
            latencyBench(pattern + "/run");
        } else {
            offlineBench(pattern + "/run");
        }
        std::filesystem::remove_all(pattern);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_offline: %s\n", error.what());
        return 1;
    }
}
