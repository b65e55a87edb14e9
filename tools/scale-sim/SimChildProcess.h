// SimChildProcess: ostrel-scale-sim as a child process, for the tests and benchmarks that talk
// to it over loopback. Starts it, waits for its "ready" line and reads the ports it bound;
// ends it with SIGTERM on terminate() or destruction and keeps what it cost in CPU time.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <sys/resource.h>
#include <sys/types.h>
#include <vector>

namespace ostrel::sim {

class SimChildProcess final
{
public:
    // The simulator built with this tree, with the given arguments. Throws when it does not
    // print its ready line within the time limit.
    explicit SimChildProcess(std::vector<std::string> args,
                             std::chrono::milliseconds readyLimit = std::chrono::seconds(30));
    ~SimChildProcess();
    SimChildProcess(const SimChildProcess&) = delete;
    SimChildProcess& operator=(const SimChildProcess&) = delete;

    // In the order of the --scale options.
    std::uint16_t scalePort(std::size_t index) const { return m_scalePorts.at(index); }
    const std::vector<std::uint16_t>& scalePorts() const { return m_scalePorts; }
    std::uint16_t scanPort() const { return m_scanPort; }
    pid_t pid() const { return m_pid; }

    // Sends SIGTERM and waits; the exit status (-1 when it did not end normally).
    int terminate();
    // After terminate(): CPU seconds, user and system together, and user alone.
    double cpuSeconds() const;
    double userSeconds() const;

private:
    pid_t m_pid = -1;
    int m_status = -1;
    rusage m_usage{};
    std::vector<std::uint16_t> m_scalePorts;
    std::uint16_t m_scanPort = 0;
};

// The seconds of a rusage time, for callers that measure their own process beside it.
double seconds(const timeval& time);

} // namespace ostrel::sim
