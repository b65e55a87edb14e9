// Helpers for the update run tests: a documents folder with settings, scales and data files,
// recording progress and timer, a fixed clock, and a waiter for the end of a run.
#pragma once

#include "TestSupport.h"

#include "engine/RunServices.h"
#include "engine/UpdateController.h"
#include "format/PrsFile.h"
#include "platform/MessageBox.h"
#include "settings/SettingsPaths.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

namespace ostrel::test {

struct ScaleConfig
{
    std::string ip;
    int port = 0;
    std::string model = "QV7100";
    std::string version = "1.23.4,1.5,2";
    std::string name = "Scale";
};

class FixedClock final : public Clock
{
public:
    LocalTime now() const override { return {2024, 3, 5, 10, 30, 0}; }
};
inline constexpr const char* kStamp = "2024035103000";

class RecordingProgress final : public ProgressSink
{
public:
    void StartProgress(int maximum, int minimum, int step) override
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back("start " + std::to_string(maximum) + " " + std::to_string(minimum) +
                           " " + std::to_string(step));
    }
    void StepProgress() override
    {
        std::lock_guard lock(m_mutex);
        ++m_steps;
    }
    void CompleteProgress() override
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back("complete after " + std::to_string(m_steps));
    }
    std::vector<std::string> events() const
    {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    int steps() const
    {
        std::lock_guard lock(m_mutex);
        return m_steps;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_events;
    int m_steps = 0;
};

class RecordingTimer final : public UpdateTimer
{
public:
    void restart(std::uint32_t milliseconds) override
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back("restart " + std::to_string(milliseconds));
    }
    void stop() override
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back("stop");
    }
    std::vector<std::string> events() const
    {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    void clear()
    {
        std::lock_guard lock(m_mutex);
        m_events.clear();
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_events;
};

// Collects the summaries of finished runs.
class RunWaiter final
{
public:
    void attach(UpdateController& controller)
    {
        controller.setRunFinishedHandler([this](const RunSummary& summary) {
            {
                std::lock_guard lock(m_mutex);
                m_summaries.push_back(summary);
            }
            m_changed.notify_all();
        });
    }
    // False when fewer runs ended within the (generous) limit: the run hung.
    bool waitFor(std::size_t runs, std::chrono::seconds limit = std::chrono::seconds(120))
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, limit, [&] { return m_summaries.size() >= runs; });
    }
    std::vector<RunSummary> summaries() const
    {
        std::lock_guard lock(m_mutex);
        return m_summaries;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<RunSummary> m_summaries;
};

// A documents folder with Config, Log and a PLU folder.
class RunFolder
{
public:
    RunFolder()
    {
        std::filesystem::create_directories(paths.configFolder);
        std::filesystem::create_directories(pluFolder());
        writeFile(paths.pluIdIni, "[PLU ID]\nID01=0002\nID02=0001\nID03=0010\nID04=0006\n");
        writeFile(paths.structFile, "C=04DeptP=1.\nC=06PLU NoP=2.\nC=04NameP=10.\n");
        writePrsFile(paths.prsFile, {});
    }

    std::string pluFolder() const { return dir.path() + "/plu"; }
    std::string dataFile(const std::string& name) const { return pluFolder() + "/" + name; }

    void writeSettings(const std::vector<ScaleConfig>& scales,
                       const std::string& extra = "[CYCLE]\nUpdate Cycle=minutes\n"
                                                  "Update Interval=5\nDecimal Point=2\n")
    {
        std::ostringstream ini;
        ini << "[PATH]\nPLU ROOT=" << pluFolder() << "\nPREFIX=PLU\nEXTENTION=TXT\n";
        ini << extra;
        ini << "[IPLIST]\n";
        for (std::size_t i = 0; i < scales.size(); ++i) {
            ini << "IP" << slot(i) << "=" << scales[i].ip << ":" << scales[i].port << ",S\n";
        }
        ini << "[MODEL]\n";
        for (std::size_t i = 0; i < scales.size(); ++i) {
            ini << "IP" << slot(i) << "=" << scales[i].model << "\n";
        }
        ini << "[SCALEVERSION]\n";
        for (std::size_t i = 0; i < scales.size(); ++i) {
            ini << "IP" << slot(i) << "=" << scales[i].version << "\n";
        }
        writeFile(paths.tarvikIni, ini.str());
    }

    // "dept,plu,name,price" lines.
    void writeData(const std::string& name, const std::vector<std::string>& lines)
    {
        std::string text;
        for (const auto& line : lines) {
            text += line + "\r\n";
        }
        writeFile(dataFile(name), text);
        // Each file a second older than the next written, so discovery order is write order.
        const auto age = std::chrono::seconds(100 - m_filesWritten++);
        std::filesystem::last_write_time(dataFile(name),
                                         std::filesystem::file_time_type::clock::now() - age);
    }

    std::vector<std::string> pluFiles() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(pluFolder())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::vector<std::string> logLines() const
    {
        std::vector<std::string> lines;
        std::istringstream in(readFile(paths.logFile));
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    std::string logLine(const std::string& file, const std::string& ip, bool success) const
    {
        return std::string(kStamp) + " : " + dataFile(file) + " : " + ip +
               (success ? " - SUCCESS\r" : " - FAILED\r");
    }

    TempDir dir;
    SettingsPaths paths = SettingsPaths::fromDocuments(dir.path());
    RecordingMessageSink messages;
    RecordingProgress progress;
    RecordingTimer timer;
    FixedClock clock;

private:
    static std::string slot(std::size_t i)
    {
        const std::string digits = std::to_string(i);
        return std::string(digits.size() < 3 ? 3 - digits.size() : 0, '0') + digits;
    }
    int m_filesWritten = 0;
};

} // namespace ostrel::test
