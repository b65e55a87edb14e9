#include "SimChildProcess.h"

#include <algorithm>
#include <csignal>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace ostrel::sim {

namespace {

// "ready IP:PORT ... [scan:PORT]"
void parseReadyLine(const std::string& line, std::vector<std::uint16_t>& scalePorts,
                    std::uint16_t& scanPort)
{
    std::istringstream words(line);
    std::string word;
    if (!(words >> word) || word != "ready") {
        throw std::runtime_error("the simulator did not get ready: " + line);
    }
    while (words >> word) {
        if (word.starts_with("scan:")) {
            scanPort = static_cast<std::uint16_t>(std::stoi(word.substr(5)));
        } else {
            scalePorts.push_back(
                static_cast<std::uint16_t>(std::stoi(word.substr(word.rfind(':') + 1))));
        }
    }
}

} // namespace

double seconds(const timeval& time)
{
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

SimChildProcess::SimChildProcess(std::vector<std::string> args,
                                 std::chrono::milliseconds readyLimit)
{
    int out[2];
    if (::pipe(out) != 0) {
        throw std::runtime_error("pipe failed");
    }
    args.insert(args.begin(), OSTREL_SCALE_SIM_PATH);
    m_pid = ::fork();
    if (m_pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        std::vector<char*> argv;
        argv.reserve(args.size() + 1);
        for (auto& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    if (m_pid < 0) {
        ::close(out[0]);
        throw std::runtime_error("fork failed");
    }

    std::string line;
    pollfd pfd{out[0], POLLIN, 0};
    while (line.find('\n') == std::string::npos &&
           ::poll(&pfd, 1, static_cast<int>(readyLimit.count())) > 0) {
        char buffer[512];
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        line.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(out[0]);
    const auto scales = static_cast<std::size_t>(std::count(args.begin(), args.end(), "--scale"));
    try {
        parseReadyLine(line.substr(0, line.find('\n')), m_scalePorts, m_scanPort);
        if (m_scalePorts.size() != scales) {
            throw std::runtime_error("the simulator reported another number of scales: " + line);
        }
    } catch (...) {
        terminate();
        throw;
    }
}

SimChildProcess::~SimChildProcess()
{
    terminate();
}

int SimChildProcess::terminate()
{
    if (m_pid <= 0) {
        return m_status;
    }
    ::kill(m_pid, SIGTERM);
    int status = 0;
    ::wait4(m_pid, &status, 0, &m_usage);
    m_pid = -1;
    m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return m_status;
}

double SimChildProcess::cpuSeconds() const
{
    return seconds(m_usage.ru_utime) + seconds(m_usage.ru_stime);
}

double SimChildProcess::userSeconds() const
{
    return seconds(m_usage.ru_utime);
}

} // namespace ostrel::sim
