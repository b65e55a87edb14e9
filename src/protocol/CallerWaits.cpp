#include "protocol/CallerWaits.h"

#include <vector>

namespace ostrel {

void PendingAnswer::give(bool ok)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_answer) {
            return;
        }
        m_answer = ok;
    }
    m_given.notify_all();
}

bool PendingAnswer::wait()
{
    std::unique_lock lock(m_mutex);
    m_given.wait(lock, [this] { return m_answer.has_value(); });
    return *m_answer;
}

std::shared_ptr<PendingAnswer> CallerWaits::begin()
{
    std::lock_guard lock(m_mutex);
    if (m_stopped) {
        return nullptr;
    }
    auto wait = std::make_shared<PendingAnswer>();
    m_waiting.insert(wait);
    return wait;
}

void CallerWaits::end(const std::shared_ptr<PendingAnswer>& wait)
{
    std::lock_guard lock(m_mutex);
    m_waiting.erase(wait);
}

void CallerWaits::stop()
{
    std::vector<std::shared_ptr<PendingAnswer>> waiting;
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
        waiting.assign(m_waiting.begin(), m_waiting.end());
    }
    for (const auto& wait : waiting) {
        wait->give(false);
    }
}

void CallerWaits::resume()
{
    std::lock_guard lock(m_mutex);
    m_stopped = false;
}

} // namespace ostrel
