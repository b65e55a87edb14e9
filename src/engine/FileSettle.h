// Whether a data file has settled, so a run never takes a file the back office is still
// writing: its size and modification time have not changed for the settle period, and, where
// the platform tells, no process holds it open for writing.
#pragma once

#include "format/DataFiles.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace ostrel {

// [SENDFILE] "SETTLE SECONDS" of Tarvik.ini, default 2; 0 takes every file at once.
int readSettleSeconds(const std::string& tarvikIniPath);

class FileSettle final
{
public:
    // Both in nanoseconds: the wall clock (to compare with file times) and a steady clock
    // (to time what this object saw itself). Replaceable in tests.
    struct Clocks
    {
        std::function<std::int64_t()> wallNs;
        std::function<std::int64_t()> steadyNs;
    };
    FileSettle();
    explicit FileSettle(Clocks clocks);

    struct Split
    {
        std::vector<DataFileEntry> settled; // in the order given, up to the first unsettled
        std::vector<std::string> unsettled;
        // Settled, but after an unsettled file in the order given (oldest first): they wait,
        // so that no file goes to the scales before an older one.
        std::vector<DataFileEntry> heldBehind;
        std::int64_t waitMs = 0; // until the first unsettled file may have settled
    };
    // A file settled when its last write is the settle period old, or when this object has
    // seen the same size and time for that long (a clock that runs behind the file's).
    Split split(const std::vector<DataFileEntry>& files, int settleSeconds);

private:
    struct Seen
    {
        FileStamp stamp;
        std::int64_t sinceNs = 0;
    };
    Clocks m_clocks;
    std::map<std::string, Seen> m_seen;
};

} // namespace ostrel
