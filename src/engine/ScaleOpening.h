// The opening of a run's scales side by side: up to kMaxConcurrentOpens workers take the
// scales in list order, so that a scale that never answers costs the run one connect time
// limit and not one per scale, and the caller's thread never waits for a scale. The worker
// that finishes last calls the completion.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <thread>
#include <vector>

namespace ostrel {

inline constexpr std::size_t kMaxConcurrentOpens = 128;

class ScaleOpening final
{
public:
    // Starts at once; open(i) runs for each i in [0, count), then done() once.
    ScaleOpening(std::size_t count, std::function<void(std::size_t)> open,
                 std::function<void()> done);
    // Waits for the workers; never from inside open() or done().
    ~ScaleOpening();
    ScaleOpening(const ScaleOpening&) = delete;
    ScaleOpening& operator=(const ScaleOpening&) = delete;

    // Whether done() has returned: joining the workers no longer waits for a scale.
    bool finished() const { return m_finished.load(); }
    void wait();

private:
    void work();

    const std::size_t m_count;
    std::function<void(std::size_t)> m_open;
    std::function<void()> m_done;
    std::atomic<std::size_t> m_next{0};
    std::atomic<std::size_t> m_running{0};
    std::atomic<bool> m_finished{false};
    std::vector<std::thread> m_workers;
};

} // namespace ostrel
