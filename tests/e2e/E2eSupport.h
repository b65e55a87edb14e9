// Whole-program test helpers: child processes, a shop with its documents folder, the
// simulated scales and what they stored.
#pragma once

#include "TestSupport.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ostrel::e2e {

// A child process with its stdout and stderr captured to files.
class ChildProcess final
{
public:
    ChildProcess(const std::vector<std::string>& argv,
                 const std::map<std::string, std::string>& env, const std::string& outputPrefix);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Waits for the end; nullopt (and the child killed) when it outlives `limit`.
    std::optional<int> wait(std::chrono::seconds limit = std::chrono::seconds(60));
    void signal(int number);
    bool running();
    // Waits until stdout holds a line that starts with `prefix`; returns it.
    std::optional<std::string> waitForLine(const std::string& prefix,
                                           std::chrono::seconds limit = std::chrono::seconds(20));
    std::string out() const;
    std::string err() const;

private:
    int m_pid = -1;
    std::optional<int> m_status;
    std::string m_outPath;
    std::string m_errPath;
};

struct SimScaleSpec
{
    SimScaleSpec(std::string ipText, std::string modelName = "QV7100",
                 std::vector<std::string> faultOptions = {})
        : ip(std::move(ipText)), model(std::move(modelName)), faults(std::move(faultOptions))
    {
    }
    std::string ip; // 127.0.0.x
    std::string model;
    std::uint16_t port = 0;          // 0: a free one
    std::vector<std::string> faults; // e.g. {"--refuse-first", "4:E12"}
};

// ostrel-scale-sim serving the given scales on free ports, storing into `db`.
class SimulatedScales final
{
public:
    SimulatedScales(const std::vector<SimScaleSpec>& scales, const std::string& db,
                    const std::string& outputPrefix);
    std::uint16_t port(std::size_t index) const { return m_ports.at(index); }
    void stop();

private:
    std::unique_ptr<ChildProcess> m_process;
    std::vector<std::uint16_t> m_ports;
};

struct StoredRecord
{
    std::string scale; // "IP:PORT"
    int action = 0;
    int department = 0;
    long long pluNumber = 0;
    long long price = 0;
    std::string name;
};

// The delivery journal's rows that are not level: "<file id> <scale> <next>/<lines> <closed>".
std::vector<std::string> journalGaps(const std::string& journalDb);

// Runs SQL on a database (the journal, the simulator's store) as a user with sqlite3 would;
// throws when it fails.
void execSql(const std::string& db, const std::string& sql);

// Every accepted record in order of arrival, and the current item master of one scale.
std::vector<StoredRecord> receivedRecords(const std::string& db, const std::string& scale = "");
std::vector<StoredRecord> currentRecords(const std::string& db, const std::string& scale);

struct RunResult
{
    int exitCode = -1;
    std::string out;
    std::string err;
};

// One shop: a documents folder with settings made by `ostrel --init-config`, a PLU folder,
// and helpers to register scales, drop data files and run the program.
class Shop final
{
public:
    Shop();
    const std::string& documents() const { return m_documents; }
    const std::string& pluFolder() const { return m_pluFolder; }
    std::string db() const { return m_dir.file("scales.db"); }
    std::string tarvikIni() const;
    std::string logFile() const;
    std::string journalFile() const;

    void setKey(const std::string& section, const std::string& key, const std::string& value);
    void addScale(const std::string& ip, std::uint16_t port, const std::string& model = "QV7100",
                  const std::string& name = "");
    // Writes PLU<name>.TXT in the PLU folder; `age` seconds in the past (older files go first).
    std::string dropFile(const std::string& name, const std::string& bytes, int ageSeconds = 0);
    std::vector<std::string> logLines() const;
    std::vector<std::string> pluFolderNames() const;

    std::map<std::string, std::string> environment() const;
    // Added to (or replacing part of) the environment of every later start.
    void setEnvironment(const std::string& name, const std::string& value);
    RunResult runOstrel(const std::vector<std::string>& args,
                        std::chrono::seconds limit = std::chrono::seconds(120));
    std::unique_ptr<ChildProcess> startOstrel(const std::vector<std::string>& args);
    std::string outputPrefix(const std::string& name) const { return m_dir.file(name); }

private:
    test::TempDir m_dir;
    std::string m_documents;
    std::string m_pluFolder;
    std::string m_instanceName;
    std::map<std::string, std::string> m_extraEnvironment;
    int m_scaleCount = 0;
    int m_runs = 0;
};

// "d,p,name,price" lines with PLU numbers from `first`, department 1.
std::string separatedLines(int first, int count, const std::string& namePrefix = "Item");

} // namespace ostrel::e2e
