#include "engine/ActiveRun.h"

#include "engine/RunServices.h"
#include "engine/RunSummary.h"
#include "platform/Trace.h"

#include <algorithm>

namespace ostrel {

namespace {

constexpr std::uint64_t kBarMaximum = 65535;
constexpr std::uint64_t kPerMille = 1000;

} // namespace

ActiveRun::ActiveRun(std::string stamp, std::vector<DataFileEntry> files,
                     std::vector<ScaleEntry> scales)
    : m_stamp(std::move(stamp)), m_files(std::move(files))
{
    m_scales.reserve(scales.size());
    for (auto& entry : scales) {
        RunScale scale;
        // Transfer state starts afresh each run: a count left by an earlier run would fail a
        // scale at its first refusal.
        entry.nextLine = 0;
        entry.retryCount = 0;
        entry.succeeded = false;
        entry.finished = false;
        scale.entry = std::move(entry);
        m_scales.push_back(std::move(scale));
    }
}

RunScale* ActiveRun::FindScaleByIp(std::string_view ipText)
{
    for (auto& scale : m_scales) {
        if (std::string_view(scale.entry.ip()) == ipText) {
            return &scale;
        }
    }
    return nullptr;
}

bool ActiveRun::allFinished() const
{
    return std::all_of(m_scales.begin(), m_scales.end(),
                       [](const RunScale& scale) { return scale.entry.finished != 0; });
}

void ActiveRun::log(const SendLogPaths& paths, const RunScale& scale, int result) const
{
    if (WriteSendLog(paths, m_files, m_stamp, scale.entry.ip(), result) == 0 && !m_files.empty() &&
        !m_logFailureTraced) {
        m_logFailureTraced = true;
        trace("cannot write the send log " + paths.logFile);
    }
}

void ActiveRun::startProgress(ProgressSink& progress)
{
    m_progressTotal = static_cast<std::uint64_t>(m_lines.size()) * m_scales.size();
    m_progressDone = 0;
    m_progressShown = 0;
    m_perMille = m_progressTotal > kBarMaximum;
    progress.StartProgress(static_cast<int>(m_perMille ? kPerMille : m_progressTotal), 0, 1);
}

void ActiveRun::stepProgress(ProgressSink& progress)
{
    ++m_progressDone;
    if (!m_perMille) {
        progress.StepProgress();
        return;
    }
    const std::uint64_t mille = m_progressDone * kPerMille / m_progressTotal;
    while (m_progressShown < mille && m_progressShown < kPerMille) {
        ++m_progressShown;
        progress.StepProgress();
    }
}

RunSummary ActiveRun::summary(std::vector<std::string> backedUp,
                              std::vector<std::string> kept) const
{
    RunSummary result;
    result.stamp = m_stamp;
    for (const auto& file : m_files) {
        result.files.push_back(file.path);
    }
    result.backedUp = std::move(backedUp);
    result.keptForNextRun = std::move(kept);
    result.lines = static_cast<int>(m_lines.size());
    result.interrupted = stopRequested;
    for (const auto& scale : m_scales) {
        RunSummary::ScaleResult entry;
        entry.ipText = scale.entry.ip();
        entry.name = scale.entry.name;
        entry.reached = scale.reached;
        entry.succeeded = scale.entry.succeeded;
        entry.linesAccepted = scale.linesAccepted;
        entry.notTried = scale.notTried;
        result.scales.push_back(std::move(entry));
    }
    return result;
}

} // namespace ostrel
