// The simulator's command line: the scales to serve, their faults, the store and the scan port.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ostrel::sim {

struct FaultConfig
{
    int refuseFirst = 0; // refuse the first N tries of each record (by department and PLU)
    std::string refuseFirstText = "E12";
    int refuseEvery = 0; // refuse every Nth record frame the scale receives
    std::string refuseEveryText = "E12";
    int refusePlu = 0; // refuse every record with this PLU number (0: none)
    std::string refusePluText = "E12";
    int dropAfter = -1;   // close the connection when record K+1 arrives on it
    int silentAfter = -1; // answer nothing from record K+1 on the connection
    int delayMs = 0;      // wait before each record and information reply
};

struct ScaleConfig
{
    std::string address; // dotted IPv4
    std::uint16_t port = 0;
    std::string modelName = "QV7100";
    std::uint16_t modelCode = 7100;
    std::int32_t version1 = 100;
    std::int32_t version2 = 1;
    std::uint16_t version3 = 10;
    std::uint16_t version4 = 1;
    FaultConfig faults;
};

struct SimConfig
{
    std::vector<ScaleConfig> scales;
    std::string dbPath; // empty: in memory
    // Off unless --scan-port is given: on a shop network a stray simulator would pass for a scale.
    bool scanEnabled = false;
    std::uint16_t scanPort = 65535;
    std::string scanBind = "127.0.0.1";
    bool verbose = false;
    bool help = false;
    bool version = false;
};

struct ParseResult
{
    std::optional<SimConfig> config;
    std::string error;
};

ParseResult parseArguments(const std::vector<std::string>& args);
std::string helpText();
std::string versionText();
// The model code a scale of this model name reports; a plain number is taken as the code.
std::optional<std::uint16_t> modelCodeOf(const std::string& modelName);

} // namespace ostrel::sim
