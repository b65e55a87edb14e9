// bench_send: records per second from the scale link library to simulated scales over
// loopback, one scale alone and eight in parallel, side by side with a minimal blocking TCP
// ping-pong of the same frame sizes. Every scale sends one record, waits for its reply in the
// reply callback and sends the next, as an update run does.
//
// A scale is always another machine, so a real exchange always crosses CPUs. Left to the
// scheduler, the raw ping-pong's two threads sometimes share one core and hand over without a
// wake-up, which no real exchange can (its rate then swings between runs by a factor of two).
// So the one-scale figures and their baseline run with the sender on one core and its peer on
// another; the unpinned baseline is printed beside them. Eight scales run unpinned.
#include "protocol/TcpScaleLibrary.h"
#include "protocol/WireFrame.h"
#include "protocol/WireMessages.h"

#include "SimChildProcess.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace ostrel;
using Clock = std::chrono::steady_clock;
using Record = std::array<std::uint8_t, kPluRecordSize>;

int kRecordsPerScale = 20000; // the first argument may change it, for profiling runs
// The second argument ("raw", "one" or "eight") runs that measurement alone, for profiling.
std::string g_only;
constexpr int kWarmUp = 500;
constexpr int kMaxScales = 8;
constexpr int kRounds = 3;

// What the wire carries per record: a Record frame out, an accepted RecordReply back.
constexpr std::size_t kRequestBytes = kWireHeaderSize + 4 + kPluRecordSize;
constexpr std::size_t kReplyBytes = kWireHeaderSize + 2;

Record makeRecord(int plu)
{
    Record record{};
    const auto put = [&record](std::size_t offset, std::uint32_t value, std::size_t width) {
        for (std::size_t i = 0; i < width; ++i)
            record[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    };
    put(0, 1, 2);
    put(2, static_cast<std::uint32_t>(plu), 4);
    record[6] = 1;
    const std::string name = "Item " + std::to_string(plu);
    std::copy(name.begin(), name.end(), record.begin() + 7);
    put(435, static_cast<std::uint32_t>(plu), 4);
    put(443, static_cast<std::uint32_t>(100 + plu % 1000), 4);
    // Filled like a real record, so nothing on the way can skip over zero pages.
    for (std::size_t i = 693; i < kPluRecordSize; ++i)
        record[i] = static_cast<std::uint8_t>('a' + (i + static_cast<std::size_t>(plu)) % 26);
    return record;
}

// ---- Which core each end runs on.

class CoreSplit
{
public:
    CoreSplit()
    {
        ::sched_getaffinity(0, sizeof m_saved, &m_saved);
        for (int cpu = 0; cpu < CPU_SETSIZE && m_cores.size() < 2; ++cpu) {
            if (CPU_ISSET(cpu, &m_saved))
                m_cores.push_back(cpu);
        }
    }
    bool available() const { return m_cores.size() == 2; }
    // The sender's side: the calling thread and the threads it starts from now on.
    void pinSender() const { pin(0, 0); }
    void pinPeerThread() const { pin(0, 1); }
    // Every thread of another process, such as the simulator.
    void pinPeerProcess(pid_t pid) const
    {
        const std::string folder = "/proc/" + std::to_string(pid) + "/task";
        DIR* tasks = ::opendir(folder.c_str());
        if (!tasks)
            return;
        while (const dirent* entry = ::readdir(tasks)) {
            if (entry->d_name[0] != '.')
                pin(static_cast<pid_t>(std::atoi(entry->d_name)), 1);
        }
        ::closedir(tasks);
    }
    // Gives the calling thread back all the cores it had.
    void release() const { ::sched_setaffinity(0, sizeof m_saved, &m_saved); }

private:
    void pin(pid_t task, std::size_t which) const
    {
        if (!available())
            return;
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(m_cores[which], &one);
        ::sched_setaffinity(task, sizeof one, &one);
    }

    cpu_set_t m_saved{};
    std::vector<int> m_cores;
};

// Pins the sender for one measurement and gives its thread all cores back afterwards.
class PinnedSender
{
public:
    PinnedSender(const CoreSplit& split, bool pinned) : m_split(split), m_pinned(pinned)
    {
        if (m_pinned)
            m_split.pinSender();
    }
    ~PinnedSender()
    {
        if (m_pinned)
            m_split.release();
    }
    PinnedSender(const PinnedSender&) = delete;
    PinnedSender& operator=(const PinnedSender&) = delete;

private:
    const CoreSplit& m_split;
    bool m_pinned;
};

const CoreSplit g_cores;

// ---- The raw baseline: two threads, blocking sockets, one frame each way at a time.

class Fd
{
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(Fd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Fd& operator=(Fd&&) = delete;
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

void noDelay(int fd)
{
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

bool readAll(int fd, std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::recv(fd, data, size, 0);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool writeAll(int fd, const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

sockaddr_in loopback(const char* ip, std::uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    ::inet_pton(AF_INET, ip, &address.sin_addr);
    return address;
}

double threadCpuSeconds()
{
    timespec time{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) * 1e-9;
}

struct RawMeasured
{
    double rate = 0;
    double senderCpuUs = 0; // per record, the sending thread alone
};

RawMeasured rawPingPong(const std::vector<Record>& records, bool pinned)
{
    const PinnedSender sender(g_cores, pinned);
    const char* ip = "127.0.0.40";
    Fd listener(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in address = loopback(ip, 0);
    socklen_t length = sizeof address;
    if (::bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener.get(), 1) != 0 ||
        ::getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("raw ping-pong: cannot listen on 127.0.0.40");

    const int total = kWarmUp + kRecordsPerScale;
    std::thread server([&listener, total, pinned] {
        if (pinned)
            g_cores.pinPeerThread();
        Fd peer(::accept(listener.get(), nullptr, nullptr));
        noDelay(peer.get());
        std::vector<std::uint8_t> request(kRequestBytes);
        // An accepted RecordReply: header and payload built once, as a minimal peer would.
        const Payload reply = encodeFrame(static_cast<std::uint8_t>(MessageType::RecordReply), 1,
                                          encodeRecordReply({true, {}}));
        for (int i = 0; i < total; ++i) {
            if (!readAll(peer.get(), request.data(), request.size()) ||
                !writeAll(peer.get(), reply.data(), reply.size()))
                return;
        }
    });

    Fd client(::socket(AF_INET, SOCK_STREAM, 0));
    noDelay(client.get());
    if (::connect(client.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        server.join();
        throw std::runtime_error("raw ping-pong: cannot connect");
    }
    std::vector<std::uint8_t> request(kRequestBytes);
    std::array<std::uint8_t, kReplyBytes> reply{};
    Clock::time_point start;
    double cpuStart = 0;
    for (int i = 0; i < total; ++i) {
        if (i == kWarmUp) {
            start = Clock::now();
            cpuStart = threadCpuSeconds();
        }
        // The client copies the record into its frame each time, as the library must.
        const Record& record = records[static_cast<std::size_t>(i) % records.size()];
        std::memcpy(request.data() + kWireHeaderSize + 4, record.data(), record.size());
        if (!writeAll(client.get(), request.data(), request.size()) ||
            !readAll(client.get(), reply.data(), reply.size())) {
            server.join();
            throw std::runtime_error("raw ping-pong: connection lost");
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = threadCpuSeconds() - cpuStart;
    server.join();
    return {kRecordsPerScale / seconds, cpu / kRecordsPerScale * 1e6};
}

double processCpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return sim::seconds(usage.ru_utime) + sim::seconds(usage.ru_stime);
}

// ---- The library's ping-pong: the reply callback sends the scale's next record.

struct SendState
{
    TcpScaleLibrary* library = nullptr;
    const std::vector<Record>* records = nullptr;
    std::vector<std::string> ips;
    std::array<int, kMaxScales> sent{};
    int target = 0;
    std::atomic<int> finished{0};
    std::atomic<int> refused{0};
    std::atomic<int> events{0};
    std::mutex mutex;
    std::condition_variable done;
};
SendState* g_state = nullptr;

int sendRecord(int scale)
{
    const int n = g_state->sent[static_cast<std::size_t>(scale)];
    // Each scale gets its own PLU numbers, so every record is a new row in its store.
    const auto& record =
        (*g_state->records)[static_cast<std::size_t>(n) % g_state->records->size()];
    SendBlock block;
    block.connectionId = static_cast<std::uint16_t>(scale);
    block.ipText = g_state->ips[static_cast<std::size_t>(scale)].c_str();
    block.modelCode = 7100;
    block.actionCode = kActionRecord;
    block.dataSize = kPluRecordSize;
    block.data = const_cast<std::uint8_t*>(record.data());
    return g_state->library->SendDataEx(block);
}

void scaleFinished()
{
    if (++g_state->finished == static_cast<int>(g_state->ips.size())) {
        const std::lock_guard lock(g_state->mutex);
        g_state->done.notify_all();
    }
}

int onReply(SendBlock block)
{
    std::uint32_t accepted = 0;
    std::memcpy(&accepted, static_cast<const std::uint8_t*>(block.data) + kReplyAcceptedOffset,
                sizeof accepted);
    if (accepted == 0)
        ++g_state->refused;
    const int scale = block.connectionId;
    if (++g_state->sent[static_cast<std::size_t>(scale)] < g_state->target) {
        if (sendRecord(scale) != 1)
            scaleFinished();
    } else {
        scaleFinished();
    }
    return 1;
}

int onEvent(SendBlock)
{
    ++g_state->events;
    scaleFinished();
    return 0;
}

// Sends count records to each scale; returns the seconds it took.
double sendRound(SendState& state, int count)
{
    state.target = count;
    state.sent.fill(0);
    state.finished = 0;
    const auto start = Clock::now();
    for (int i = 0; i < static_cast<int>(state.ips.size()); ++i) {
        if (sendRecord(i) != 1)
            throw std::runtime_error("SendDataEx refused the first record");
    }
    std::unique_lock lock(state.mutex);
    state.done.wait(lock,
                    [&] { return state.finished.load() == static_cast<int>(state.ips.size()); });
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Also gives the CPU seconds this process used while it sent the measured records.
double libraryRate(const std::vector<std::string>& ips, const std::vector<std::uint16_t>& ports,
                   const std::vector<Record>& records, double* libraryCpu)
{
    TcpScaleLibrary library;
    SendState state;
    state.library = &library;
    state.records = &records;
    state.ips = ips;
    g_state = &state;
    library.SetCommLibrary(1, "VEKTCPIP.DLL", 1);
    library.AddInterpreter(kScaleKind, 7100, "QVInterpreter.DLL");
    for (std::size_t i = 0; i < ips.size(); ++i) {
        ConnectionBlock block;
        block.connectionId = static_cast<std::uint16_t>(i);
        block.ipText = ips[i].c_str();
        block.port = ports[i];
        block.modelCode = 7100;
        block.onReply = &onReply;
        block.onEvent = &onEvent;
        if (library.AddConnectionEx(block) != 1 || library.Connect(ips[i].c_str(), -1) != 1)
            throw std::runtime_error("cannot connect to the simulated scale " + ips[i]);
    }
    sendRound(state, kWarmUp);
    const double cpuBefore = processCpuSeconds();
    const double seconds = sendRound(state, kRecordsPerScale);
    *libraryCpu = processCpuSeconds() - cpuBefore;
    for (const std::string& ip : ips)
        library.Disconnect(ip.c_str(), -1);
    g_state = nullptr;
    if (state.events > 0 || state.refused > 0)
        throw std::runtime_error("the scales refused " + std::to_string(state.refused.load()) +
                                 " records and dropped " + std::to_string(state.events.load()) +
                                 " connections");
    return static_cast<double>(ips.size()) * kRecordsPerScale / seconds;
}

struct Measured
{
    double rate = 0;
    double libraryCpuUs = 0;    // per record, this process while measuring
    double simulatorCpuUs = 0;  // per record, the simulator from start to end (warm-up included)
    double simulatorUserUs = 0; // the part of it outside the kernel
};

Measured simulatedRate(int scales, const std::vector<Record>& records, bool pinned)
{
    // The library's thread starts with the sender's core.
    const PinnedSender sender(g_cores, pinned);
    std::vector<std::string> ips;
    for (int i = 0; i < scales; ++i)
        ips.push_back("127.0.0." + std::to_string(41 + i));
    std::vector<std::string> args{"--no-scan"};
    for (const std::string& ip : ips) {
        args.push_back("--scale");
        args.push_back(ip + ":0:QV7100");
    }
    sim::SimChildProcess sim(args);
    if (pinned)
        g_cores.pinPeerProcess(sim.pid());
    const std::vector<std::uint16_t>& ports = sim.scalePorts();
    Measured m;
    double libraryCpu = 0;
    m.rate = libraryRate(ips, ports, records, &libraryCpu);
    const double count = static_cast<double>(scales) * kRecordsPerScale;
    m.libraryCpuUs = libraryCpu / count * 1e6;
    sim.terminate();
    m.simulatorCpuUs = sim.cpuSeconds() / count * 1e6;
    m.simulatorUserUs = sim.userSeconds() / count * 1e6;
    return m;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int profileOnly(const std::string& which, const std::vector<Record>& records)
{
    if (which == "raw") {
        const RawMeasured pinned = rawPingPong(records, true);
        std::printf("raw ping-pong rec/s: %.0f (unpinned %.0f); sender CPU per record %.1f us\n",
                    pinned.rate, rawPingPong(records, false).rate, pinned.senderCpuUs);
        return 0;
    }
    if (which != "one" && which != "eight") {
        std::fprintf(stderr, "bench_send: the second argument is raw, one or eight\n");
        return 2;
    }
    const bool one = which == "one";
    const Measured m = simulatedRate(one ? 1 : kMaxScales, records, one);
    std::printf("%s rec/s: %.0f; CPU per record (us): library %.1f, simulator %.1f (user %.1f)\n",
                which.c_str(), m.rate, m.libraryCpuUs, m.simulatorCpuUs, m.simulatorUserUs);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        if (argc > 1)
            kRecordsPerScale = std::max(1, std::atoi(argv[1]));
        if (argc > 2)
            g_only = argv[2];
        std::vector<Record> records;
        for (int i = 0; i < kWarmUp + kRecordsPerScale; ++i)
            records.push_back(makeRecord(100000 + i));
        std::printf("%d records per scale after %d to warm up; frames of %zu and %zu bytes\n",
                    kRecordsPerScale, kWarmUp, kRequestBytes, kReplyBytes);
        if (!g_only.empty())
            return profileOnly(g_only, records);
        // Rounds interleave the three measurements so that a busy spell on the shared machine
        // touches all of them; each figure is the median of its rounds.
        if (!g_cores.available())
            std::printf("only one core: the one-scale figures run unpinned\n");
        std::vector<double> raws, freeRaws, rawSenderCpuUs, ones, eights, eightCpuUs, eightCores;
        std::vector<double> oneLibraryCpuUs, eightLibraryCpuUs, eightSimulatorCpuUs;
        for (int round = 1; round <= kRounds; ++round) {
            const RawMeasured raw = rawPingPong(records, true);
            raws.push_back(raw.rate);
            rawSenderCpuUs.push_back(raw.senderCpuUs);
            freeRaws.push_back(rawPingPong(records, false).rate);
            const Measured one = simulatedRate(1, records, true);
            const Measured eight = simulatedRate(kMaxScales, records, false);
            ones.push_back(one.rate);
            oneLibraryCpuUs.push_back(one.libraryCpuUs);
            eightLibraryCpuUs.push_back(eight.libraryCpuUs);
            eightSimulatorCpuUs.push_back(eight.simulatorCpuUs);
            eights.push_back(eight.rate);
            eightCpuUs.push_back(eight.libraryCpuUs + eight.simulatorCpuUs);
            eightCores.push_back(eightCpuUs.back() * 1e-6 * eight.rate);
            std::printf(
                "round %d: raw %.0f (unpinned %.0f), one %.0f, eight %.0f rec/s; CPU per "
                "record (us) raw sender %.1f; one: library %.1f, simulator %.1f (user %.1f); "
                "eight: library %.1f, simulator %.1f (user %.1f)\n",
                round, raws.back(), freeRaws.back(), one.rate, eight.rate, raw.senderCpuUs,
                one.libraryCpuUs, one.simulatorCpuUs, one.simulatorUserUs, eight.libraryCpuUs,
                eight.simulatorCpuUs, eight.simulatorUserUs);
            std::fflush(stdout);
        }
        const double raw = median(raws);
        const double one = median(ones);
        const double eight = median(eights);
        std::printf("ratio eight/one: %.2f\n", eight / one);
        std::printf("raw ping-pong rec/s: %.0f (unpinned: %.0f)\n", raw, median(freeRaws));
        std::printf("one scale rec/s: %.0f\n", one);
        std::printf("eight scales rec/s: %.0f\n", eight);
        std::printf("ratio one/raw: %.2f\n", one / raw);
        // Waking a sleeping core is most of what one scale costs on either side: the raw
        // sender's own CPU per record is the floor for the library's.
        std::printf("CPU per record (us), one scale: raw sender %.1f, library %.1f\n",
                    median(rawSenderCpuUs), median(oneLibraryCpuUs));
        std::printf("CPU per record (us), eight scales: library %.1f, simulator %.1f\n",
                    median(eightLibraryCpuUs), median(eightSimulatorCpuUs));
        // The most this machine could carry if the library and the simulator had its cores
        // to themselves: cores / (library + simulator CPU per record), eight scales.
        const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
        const double bound = cores / (median(eightCpuUs) * 1e-6);
        std::printf("CPU bound (%u cores / %.1f us per record) rec/s: %.0f\n", cores,
                    median(eightCpuUs), bound);
        std::printf("ratio eight/CPU bound: %.2f\n", eight / bound);
        // What the eight scales got of the machine: near one core, and the bound above is out
        // of reach, when something else holds the other (a process of another session keeps
        // its share whatever its nice value).
        std::printf("cores used by eight scales: %.2f of %u\n", median(eightCores), cores);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_send: %s\n", error.what());
        return 1;
    }
}
