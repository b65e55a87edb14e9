#include "E2eSupport.h"

#include "platform/IniFile.h"

#include <sqlite3.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utime.h>

namespace ostrel::e2e {

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::map<std::string, std::string>& env,
                           const std::string& outputPrefix)
    : m_outPath(outputPrefix + ".out"), m_errPath(outputPrefix + ".err")
{
    const int outFd = ::open(m_outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int errFd = ::open(m_errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    m_pid = ::fork();
    if (m_pid == 0) {
        ::dup2(outFd, STDOUT_FILENO);
        ::dup2(errFd, STDERR_FILENO);
        const int nullFd = ::open("/dev/null", O_RDONLY);
        ::dup2(nullFd, STDIN_FILENO);
        for (const auto& [name, value] : env) {
            ::setenv(name.c_str(), value.c_str(), 1);
        }
        std::vector<char*> raw;
        for (const auto& arg : argv) {
            raw.push_back(const_cast<char*>(arg.c_str()));
        }
        raw.push_back(nullptr);
        ::execv(raw[0], raw.data());
        ::_exit(127);
    }
    ::close(outFd);
    ::close(errFd);
    if (m_pid < 0) {
        throw std::runtime_error("fork failed");
    }
}

ChildProcess::~ChildProcess()
{
    if (running()) {
        ::kill(m_pid, SIGKILL);
        wait(std::chrono::seconds(10));
    }
}

bool ChildProcess::running()
{
    if (m_status || m_pid <= 0) {
        return false;
    }
    int status = 0;
    if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return false;
    }
    return true;
}

std::optional<int> ChildProcess::wait(std::chrono::seconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (running()) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(m_pid, SIGKILL);
            int status = 0;
            ::waitpid(m_pid, &status, 0);
            m_status = -1;
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return m_status;
}

void ChildProcess::signal(int number)
{
    if (running()) {
        ::kill(m_pid, number);
    }
}

std::optional<std::string> ChildProcess::waitForLine(const std::string& prefix,
                                                     std::chrono::seconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        std::istringstream lines(out());
        std::string line;
        while (std::getline(lines, line)) {
            if (line.rfind(prefix, 0) == 0 && !lines.eof()) {
                return line;
            }
        }
        if (!running()) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::nullopt;
}

std::string ChildProcess::out() const
{
    return test::readFile(m_outPath);
}
std::string ChildProcess::err() const
{
    return test::readFile(m_errPath);
}

SimulatedScales::SimulatedScales(const std::vector<SimScaleSpec>& scales, const std::string& db,
                                 const std::string& outputPrefix)
{
    std::vector<std::string> argv{OSTREL_SCALE_SIM_PATH, "--db", db, "--no-scan"};
    for (const SimScaleSpec& scale : scales) {
        argv.push_back("--scale");
        argv.push_back(scale.ip + ":" + std::to_string(scale.port) + ":" + scale.model);
        argv.insert(argv.end(), scale.faults.begin(), scale.faults.end());
    }
    m_process =
        std::make_unique<ChildProcess>(argv, std::map<std::string, std::string>{}, outputPrefix);
    const auto ready = m_process->waitForLine("ready");
    if (!ready) {
        throw std::runtime_error("the simulator did not get ready: " + m_process->err());
    }
    std::istringstream words(*ready);
    std::string word;
    words >> word;
    while (words >> word) {
        if (word.rfind("scan:", 0) != 0) {
            m_ports.push_back(
                static_cast<std::uint16_t>(std::stoi(word.substr(word.rfind(':') + 1))));
        }
    }
}

void SimulatedScales::stop()
{
    if (m_process) {
        m_process->signal(SIGTERM);
        m_process->wait(std::chrono::seconds(20));
    }
}

namespace {

std::vector<StoredRecord> query(const std::string& db, const std::string& sql,
                                const std::string& scale)
{
    std::vector<StoredRecord> records;
    sqlite3* handle = nullptr;
    if (sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(handle);
        return records;
    }
    sqlite3_busy_timeout(handle, 5000);
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(handle, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(statement, 1, scale.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(statement) == SQLITE_ROW) {
            StoredRecord r;
            r.scale = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
            r.action = sqlite3_column_int(statement, 1);
            r.department = sqlite3_column_int(statement, 2);
            r.pluNumber = sqlite3_column_int64(statement, 3);
            r.price = sqlite3_column_int64(statement, 4);
            const auto* name = static_cast<const char*>(sqlite3_column_blob(statement, 5));
            r.name.assign(name != nullptr ? name : "",
                          static_cast<std::size_t>(sqlite3_column_bytes(statement, 5)));
            records.push_back(std::move(r));
        }
    }
    sqlite3_finalize(statement);
    sqlite3_close(handle);
    return records;
}

} // namespace

std::vector<std::string> journalGaps(const std::string& journalDb)
{
    std::vector<std::string> gaps;
    sqlite3* handle = nullptr;
    if (sqlite3_open_v2(journalDb.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(handle);
        return {"cannot open " + journalDb};
    }
    sqlite3_busy_timeout(handle, 5000);
    sqlite3_stmt* statement = nullptr;
    const char* sql = "SELECT d.file_id, d.scale, d.next_line, f.line_count, d.closed "
                      "FROM delivery d JOIN data_file f ON f.id = d.file_id "
                      "WHERE f.superseded = 0 AND (d.next_line <> f.line_count OR d.closed <> '')";
    if (sqlite3_prepare_v2(handle, sql, -1, &statement, nullptr) != SQLITE_OK) {
        gaps.push_back(sqlite3_errmsg(handle));
    }
    while (statement != nullptr && sqlite3_step(statement) == SQLITE_ROW) {
        gaps.push_back(std::to_string(sqlite3_column_int64(statement, 0)) + " " +
                       reinterpret_cast<const char*>(sqlite3_column_text(statement, 1)) + " " +
                       std::to_string(sqlite3_column_int(statement, 2)) + "/" +
                       std::to_string(sqlite3_column_int(statement, 3)) + " " +
                       reinterpret_cast<const char*>(sqlite3_column_text(statement, 4)));
    }
    sqlite3_finalize(statement);
    sqlite3_close(handle);
    return gaps;
}

void execSql(const std::string& db, const std::string& sql)
{
    sqlite3* handle = nullptr;
    char* message = nullptr;
    const bool ok = sqlite3_open(db.c_str(), &handle) == SQLITE_OK &&
                    sqlite3_busy_timeout(handle, 5000) == SQLITE_OK &&
                    sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK;
    const std::string error = message != nullptr ? message : sqlite3_errmsg(handle);
    sqlite3_free(message);
    sqlite3_close(handle);
    if (!ok) {
        throw std::runtime_error(db + ": " + error);
    }
}

std::vector<StoredRecord> receivedRecords(const std::string& db, const std::string& scale)
{
    return query(db,
                 "SELECT scale, action, department, plu_number, price, name FROM received "
                 "WHERE ?1 = '' OR scale = ?1 ORDER BY rowid",
                 scale);
}

std::vector<StoredRecord> currentRecords(const std::string& db, const std::string& scale)
{
    return query(db,
                 "SELECT scale, action, department, plu_number, price, name FROM plu "
                 "WHERE scale = ?1 ORDER BY department, plu_number",
                 scale);
}

Shop::Shop()
    : m_documents(m_dir.file("Documents")), m_pluFolder(m_dir.file("plu-in")),
      m_instanceName("ostrel-e2e-" + std::to_string(::getpid()) + "-" +
                     std::filesystem::path(m_dir.path()).filename().string())
{
    std::filesystem::create_directories(m_documents);
    std::filesystem::create_directories(m_pluFolder);
    const RunResult init = runOstrel({"--init-config"});
    if (init.exitCode != 0) {
        throw std::runtime_error("--init-config failed: " + init.err);
    }
    setKey("PATH", "PLU ROOT", m_pluFolder);
    setKey("PATH", "PREFIX", "PLU");
    setKey("PATH", "EXTENTION", "TXT");
    setKey("PATH", "CONFIG ROOT", "/Config/Tarvik.ini");
    setKey("CYCLE", "Decimal Point", "2");
}

std::string Shop::tarvikIni() const
{
    return m_documents + "/VEK/Ostrel/Config/Tarvik.ini";
}
std::string Shop::logFile() const
{
    return m_documents + "/VEK/Ostrel/Log/Ostrel.log";
}
std::string Shop::journalFile() const
{
    return m_documents + "/VEK/Ostrel/Log/delivery.db";
}

void Shop::setKey(const std::string& section, const std::string& key, const std::string& value)
{
    if (!writeProfileString(section, key, value, tarvikIni())) {
        throw std::runtime_error("cannot write " + tarvikIni());
    }
}

void Shop::addScale(const std::string& ip, std::uint16_t port, const std::string& model,
                    const std::string& name)
{
    char slot[8];
    std::snprintf(slot, sizeof(slot), "IP%03d", m_scaleCount++);
    setKey("IPLIST", slot, ip + ":" + std::to_string(port) + ",S");
    setKey("MODEL", slot, model);
    setKey("SCALEVERSION", slot, "1.00,1.0,1");
    int a = 0, b = 0, c = 0, d = 0;
    std::sscanf(ip.c_str(), "%d.%d.%d.%d", &a, &b, &c, &d);
    char padded[20];
    std::snprintf(padded, sizeof(padded), "%03d.%03d.%03d.%03d", a, b, c, d);
    setKey("IPNAME", padded, name.empty() ? "Scale " + ip : name);
}

std::string Shop::dropFile(const std::string& name, const std::string& bytes, int ageSeconds)
{
    const std::string path = m_pluFolder + "/PLU" + name + ".TXT";
    test::writeFile(path, bytes);
    const auto when =
        std::chrono::system_clock::to_time_t(std::chrono::system_clock::now()) - ageSeconds;
    utimbuf times{when, when};
    ::utime(path.c_str(), &times);
    return path;
}

std::vector<std::string> Shop::logLines() const
{
    std::vector<std::string> lines;
    const std::string bytes = test::readFile(logFile());
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t end = bytes.find("\r\n", pos);
        if (end == std::string::npos) {
            lines.push_back(bytes.substr(pos) + "<no CR LF>");
            break;
        }
        lines.push_back(bytes.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

std::vector<std::string> Shop::pluFolderNames() const
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_pluFolder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::map<std::string, std::string> Shop::environment() const
{
    std::map<std::string, std::string> env{
        {"OSTREL_DOCUMENTS", m_documents},
        {"OSTREL_INSTANCE_NAME", m_instanceName},
        {"OSTREL_REGISTRY", m_dir.file("registry.ini")},
        {"OSTREL_TEMPLATE_DIR", std::string(OSTREL_SOURCE_DIR) + "/packaging/config-template"},
        {"XDG_RUNTIME_DIR", m_dir.path()}};
    for (const auto& [name, value] : m_extraEnvironment) {
        env[name] = value;
    }
    return env;
}

void Shop::setEnvironment(const std::string& name, const std::string& value)
{
    m_extraEnvironment[name] = value;
}

RunResult Shop::runOstrel(const std::vector<std::string>& args, std::chrono::seconds limit)
{
    ChildProcess process = [&]() -> ChildProcess {
        std::vector<std::string> argv{OSTREL_PROGRAM_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        return ChildProcess(argv, environment(), outputPrefix("run" + std::to_string(++m_runs)));
    }();
    RunResult result;
    const auto code = process.wait(limit);
    result.exitCode = code ? *code : -1;
    result.out = process.out();
    result.err = process.err();
    return result;
}

std::unique_ptr<ChildProcess> Shop::startOstrel(const std::vector<std::string>& args)
{
    std::vector<std::string> argv{OSTREL_PROGRAM_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return std::make_unique<ChildProcess>(argv, environment(),
                                          outputPrefix("start" + std::to_string(++m_runs)));
}

std::string separatedLines(int first, int count, const std::string& namePrefix)
{
    std::string bytes;
    for (int i = 0; i < count; ++i) {
        const int plu = first + i;
        bytes += "1," + std::to_string(plu) + ",0," + namePrefix + std::to_string(plu) + "," +
                 std::to_string(plu) + ".25," + std::to_string(plu) + "\r\n";
    }
    return bytes;
}

} // namespace ostrel::e2e
