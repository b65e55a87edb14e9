// The simulated scales as a child process for the benchmarks: started with one scale per IP
// (port chosen by the system), ready once it printed its "ready" line, stopped on
// destruction; what it cost in CPU time is read when it is stopped.
#pragma once

#include <csignal>
#include <cstdint>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace ostrel::bench {

class SimulatorProcess
{
public:
    explicit SimulatorProcess(const std::vector<std::string>& ips)
    {
        int out[2];
        if (::pipe(out) != 0) {
            throw std::runtime_error("pipe");
        }
        std::vector<std::string> args{OSTREL_SCALE_SIM_PATH, "--no-scan"};
        for (const std::string& ip : ips) {
            args.push_back("--scale");
            args.push_back(ip + ":0:QV7100");
        }
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::close(out[0]);
            std::vector<char*> raw;
            for (auto& arg : args) {
                raw.push_back(arg.data());
            }
            raw.push_back(nullptr);
            ::execv(raw[0], raw.data());
            ::_exit(127);
        }
        ::close(out[1]);
        std::string line;
        char c = 0;
        while (::read(out[0], &c, 1) == 1 && c != '\n') {
            line += c;
        }
        ::close(out[0]);

        std::istringstream words(line);
        std::string word;
        const bool ready = words >> word && word == "ready";
        while (ready && words >> word) {
            m_ports.push_back(
                static_cast<std::uint16_t>(std::stoi(word.substr(word.rfind(':') + 1))));
        }
        if (m_ports.size() != ips.size()) {
            stop();
            throw std::runtime_error("the simulator did not start: " + line);
        }
    }
    ~SimulatorProcess() { stop(); }
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    // In the order of the IPs given.
    const std::vector<std::uint16_t>& ports() const { return m_ports; }

    void stop()
    {
        if (m_pid <= 0) {
            return;
        }
        ::kill(m_pid, SIGTERM);
        ::wait4(m_pid, nullptr, 0, &m_usage);
        m_pid = -1;
    }
    // After stop(): CPU seconds, user and system together, and user alone.
    double cpuSeconds() const { return seconds(m_usage.ru_utime) + seconds(m_usage.ru_stime); }
    double userSeconds() const { return seconds(m_usage.ru_utime); }

    static double seconds(const timeval& t)
    {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    }

private:
    pid_t m_pid = -1;
    std::vector<std::uint16_t> m_ports;
    rusage m_usage{};
};

} // namespace ostrel::bench
