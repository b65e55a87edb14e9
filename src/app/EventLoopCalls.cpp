#include "app/EventLoopCalls.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>

namespace ostrel {

namespace {

QEvent::Type wakeEventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

} // namespace

EventLoopCalls::EventLoopCalls(QObject* parent) : QObject(parent) {}

EventLoopCalls::~EventLoopCalls()
{
    // A wake-up still queued is removed with this object; a waiting caller must not hang,
    // and must be gone from the mutex and the condition before they go.
    std::unique_lock lock(m_mutex);
    m_pending.clear();
    m_finished = m_posted;
    m_ran.notify_all();
    m_ran.wait(lock, [this] { return m_waiters == 0; });
}

std::uint64_t EventLoopCalls::enqueueLocked(std::function<void()> call)
{
    m_pending.push_back(std::move(call));
    if (!m_wakePosted) {
        m_wakePosted = true;
        // The event queue owns the event. Posting under the mutex orders its creation
        // before the receiving thread takes the mutex in runPending().
        QCoreApplication::postEvent(this, new QEvent(wakeEventType()));
    }
    return ++m_posted;
}

void EventLoopCalls::post(std::function<void()> call)
{
    const std::lock_guard lock(m_mutex);
    enqueueLocked(std::move(call));
}

void EventLoopCalls::postAndWait(std::function<void()> call)
{
    if (QThread::currentThread() == thread()) {
        call();
        return;
    }
    std::unique_lock lock(m_mutex);
    const std::uint64_t ticket = enqueueLocked(std::move(call));
    ++m_waiters;
    m_ran.wait(lock, [this, ticket] { return m_finished >= ticket; });
    if (--m_waiters == 0) {
        m_ran.notify_all(); // the destructor may wait for the last caller to leave
    }
}

std::size_t EventLoopCalls::pendingCalls() const
{
    const std::lock_guard lock(m_mutex);
    return m_pending.size();
}

void EventLoopCalls::customEvent(QEvent*)
{
    runPending();
}

void EventLoopCalls::runPending()
{
    std::deque<std::function<void()>> batch;
    {
        const std::lock_guard lock(m_mutex);
        batch.swap(m_pending);
        m_wakePosted = false;
    }
    for (auto& call : batch) {
        call();
        const std::lock_guard lock(m_mutex);
        ++m_finished;
        m_ran.notify_all();
    }
}

} // namespace ostrel
