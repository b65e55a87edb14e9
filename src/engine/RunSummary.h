// What one finished update run did, for the headless summary, the windows and the tests.
#pragma once

#include <string>
#include <vector>

namespace ostrel {

struct RunSummary
{
    struct ScaleResult
    {
        std::string ipText;
        std::string name;
        bool reached = false;   // passed the reachability check
        bool succeeded = false; // every line sent
        int linesAccepted = 0;
        std::string notTried; // why the run never tried this scale, "" when it did
    };
    std::string stamp;
    std::vector<std::string> files; // data files of the run, in order
    std::vector<std::string> backedUp;
    std::vector<std::string> keptForNextRun; // unread, or changed after being read
    int lines = 0;
    bool interrupted = false; // stopped on request: unfinished scales failed, files kept
    std::vector<ScaleResult> scales;
};

} // namespace ostrel
