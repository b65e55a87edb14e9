// The callers that wait in CheckIp2 and Connect for the library's thread, kept so that a run
// being stopped can let them go at once instead of after a connect or reply time limit.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <set>

namespace ostrel {

// One caller's answer, made on the library's thread; the first answer given counts.
class PendingAnswer final
{
public:
    void give(bool ok);
    bool wait(); // until an answer was given

private:
    std::mutex m_mutex;
    std::condition_variable m_given;
    std::optional<bool> m_answer;
};

class CallerWaits final
{
public:
    // A new wait; nullptr while waiting is stopped (the answer is "no" then).
    std::shared_ptr<PendingAnswer> begin();
    void end(const std::shared_ptr<PendingAnswer>& wait);
    // Every wait now, and every one begun until resume(), is answered "no".
    void stop();
    void resume();

private:
    std::mutex m_mutex;
    std::set<std::shared_ptr<PendingAnswer>> m_waiting;
    bool m_stopped = false;
};

// One caller's wait, from begin() to end(); empty while waiting is stopped.
class WaitTicket final
{
public:
    explicit WaitTicket(CallerWaits& waits) : m_waits(waits), m_answer(waits.begin()) {}
    ~WaitTicket()
    {
        if (m_answer) {
            m_waits.end(m_answer);
        }
    }
    WaitTicket(const WaitTicket&) = delete;
    WaitTicket& operator=(const WaitTicket&) = delete;

    explicit operator bool() const { return m_answer != nullptr; }
    const std::shared_ptr<PendingAnswer>& answer() const { return m_answer; }

private:
    CallerWaits& m_waits;
    std::shared_ptr<PendingAnswer> m_answer;
};

} // namespace ostrel
