#include "engine/FileSettle.h"

#include "platform/IniFile.h"

#include <algorithm>
#include <chrono>

namespace ostrel {

namespace {

constexpr int kDefaultSettleSeconds = 2;
constexpr std::int64_t kNsPerSecond = 1'000'000'000;
constexpr std::int64_t kNsPerMs = 1'000'000;

template <class C> std::int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(C::now().time_since_epoch())
        .count();
}

} // namespace

int readSettleSeconds(const std::string& tarvikIniPath)
{
    return std::max(
        0, readProfileInt("SENDFILE", "SETTLE SECONDS", kDefaultSettleSeconds, tarvikIniPath));
}

FileSettle::FileSettle()
    : FileSettle(Clocks{nowNs<std::chrono::system_clock>, nowNs<std::chrono::steady_clock>})
{
}

FileSettle::FileSettle(Clocks clocks) : m_clocks(std::move(clocks)) {}

FileSettle::Split FileSettle::split(const std::vector<DataFileEntry>& files, int settleSeconds)
{
    Split result;
    const std::int64_t period = std::int64_t{settleSeconds} * kNsPerSecond;
    const std::int64_t wall = m_clocks.wallNs();
    const std::int64_t steady = m_clocks.steadyNs();
    std::map<std::string, Seen> seen;
    for (const DataFileEntry& file : files) {
        const auto stamp = fileStamp(file.path);
        if (!stamp || period == 0) {
            result.settled.push_back(file); // a vanished file is the reader's to report
            continue;
        }
        Seen now{*stamp, steady};
        if (auto before = m_seen.find(file.path);
            before != m_seen.end() && before->second.stamp == *stamp) {
            now.sinceNs = before->second.sinceNs;
        }
        seen[file.path] = now;
        const std::int64_t quiet = std::max(wall - stamp->mtimeNs, steady - now.sinceNs);
        const bool writerHoldsIt = heldOpenForWriting(file.path).value_or(false);
        if (quiet >= period && !writerHoldsIt) {
            // Sent before an older file that is still written, its prices would be overwritten
            // by that file's older ones.
            (result.unsettled.empty() ? result.settled : result.heldBehind).push_back(file);
            continue;
        }
        result.unsettled.push_back(file.path);
        const std::int64_t waitMs =
            writerHoldsIt
                ? period / kNsPerMs
                : std::clamp<std::int64_t>((period - quiet) / kNsPerMs + 1, 1, period / kNsPerMs);
        result.waitMs = result.waitMs == 0 ? waitMs : std::min(result.waitMs, waitMs);
    }
    m_seen = std::move(seen);
    return result;
}

} // namespace ostrel
