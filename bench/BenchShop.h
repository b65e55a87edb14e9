// A shop for the benchmarks: settings from the template in a temp folder, a PLU folder and
// scales registered at the simulator's ports; and one start-up run of the program to its end.
#pragma once

#include "engine/RunSummary.h"
#include "engine/SendLog.h"
#include "settings/SettingsPaths.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ostrel::bench {

struct BenchShop
{
    std::string work; // the temp folder, removed by removeUnlessKept()
    std::string pluFolder;
    SettingsPaths paths;

    // Scales 127.0.0.<firstOctet + i> at `ports[i]`, each a QV7100.
    BenchShop(const std::vector<std::uint16_t>& ports, int firstOctet);
    // OSTREL_BENCH_KEEP keeps the folder to look at.
    void removeUnlessKept() const;
};

struct RunTiming
{
    double seconds = 0;
    RunSummary summary;
};

// One start of the program whose start-up run sends what the PLU folder holds.
RunTiming runOnce(const SettingsPaths& paths, const ostrel::Clock& clock);

// Sets the file's time a minute back, so the run takes it as settled.
void settle(const std::string& path);

} // namespace ostrel::bench
