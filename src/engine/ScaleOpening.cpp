#include "engine/ScaleOpening.h"

#include <algorithm>

namespace ostrel {

ScaleOpening::ScaleOpening(std::size_t count, std::function<void(std::size_t)> open,
                           std::function<void()> done)
    : m_count(count), m_open(std::move(open)), m_done(std::move(done))
{
    const std::size_t workers = std::max<std::size_t>(1, std::min(count, kMaxConcurrentOpens));
    m_running = workers;
    m_workers.reserve(workers);
    for (std::size_t i = 0; i < workers; ++i) {
        m_workers.emplace_back([this] { work(); });
    }
}

ScaleOpening::~ScaleOpening()
{
    wait();
}

void ScaleOpening::wait()
{
    for (std::thread& worker : m_workers) {
        if (worker.joinable()) {
            worker.join();
        }
    }
}

void ScaleOpening::work()
{
    for (std::size_t index = m_next++; index < m_count; index = m_next++) {
        m_open(index);
    }
    if (--m_running == 0) {
        m_done();
        m_finished = true;
    }
}

} // namespace ostrel
