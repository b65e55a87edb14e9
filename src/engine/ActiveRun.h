// The state of one update run, owned by the run alone: its stamp, its copy of the data files
// (with what was read of each), its lines, its copy of the scales with their transfer state,
// and the progress it reports. Triggers that reload settings or rediscover files during the
// run never touch it. Guarded by the engine's lock.
#pragma once

#include "engine/DataFiles.h"
#include "engine/RunLines.h"
#include "engine/RunSettings.h"
#include "engine/SendLog.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

class ProgressSink;
struct RunSummary;

struct RunScale
{
    ScaleEntry entry;
    bool reached = false;    // passed the reachability check
    bool sendCalled = false; // the opening reached SendDataEx
    int linesAccepted = 0;
    std::string notTried; // why the opening refused the scale before contacting it
    RecordBytes record{}; // the record in flight; the library may read it until the reply
};

class ActiveRun final
{
public:
    ActiveRun(std::string stamp, std::vector<DataFileEntry> files, std::vector<ScaleEntry> scales);

    const std::string& stamp() const { return m_stamp; }
    std::vector<DataFileEntry>& files() { return m_files; }
    const std::vector<DataFileEntry>& files() const { return m_files; }
    std::vector<RunScale>& scales() { return m_scales; }
    RunLines& lines() { return m_lines; }
    void setLines(RunLines lines) { m_lines = std::move(lines); }

    // The first scale whose IP text equals `ipText` byte for byte, nullptr when none does.
    RunScale* FindScaleByIp(std::string_view ipText);
    bool allFinished() const;

    // One log line per data file of the run for this scale.
    void log(const SendLogPaths& paths, const RunScale& scale, int result) const;

    // The bar counts line-and-scale steps; beyond the bar's 16-bit range it counts per mille.
    void startProgress(ProgressSink& progress);
    void stepProgress(ProgressSink& progress);

    bool attempted = false;     // a scale passed the reachability check: back up at the end
    bool opening = true;        // RunUpdate is still opening scales: the run cannot end yet
    bool stopRequested = false; // no further record goes out; unfinished scales fail

    RunSummary summary(std::vector<std::string> backedUp, std::vector<std::string> kept) const;

private:
    std::string m_stamp;
    std::vector<DataFileEntry> m_files;
    std::vector<RunScale> m_scales; // sized once: the library holds addresses of its texts
    RunLines m_lines;
    std::uint64_t m_progressTotal = 0;
    std::uint64_t m_progressDone = 0;
    std::uint64_t m_progressShown = 0;
    bool m_perMille = false;
    mutable bool m_logFailureTraced = false; // once per run, not once per scale
};

} // namespace ostrel
