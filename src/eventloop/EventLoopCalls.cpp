#include "eventloop/EventLoopCalls.h"

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
    // Wake-ups still queued are removed with this object; a waiting caller must not hang,
    // and must be gone from the mutex and the condition before they go.
    std::unique_lock lock(m_mutex);
    m_pending.clear();
    m_closing = true;
    m_ran.notify_all();
    m_ran.wait(lock, [this] { return m_waiters == 0; });
}

void EventLoopCalls::enqueueLocked(std::function<void()> call)
{
    m_pending.push_back(std::move(call));
    // The event queue owns the event. Posting under the mutex orders its creation before
    // the receiving thread takes the mutex in customEvent().
    QCoreApplication::postEvent(this, new QEvent(wakeEventType()));
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
    bool done = false; // set by the call itself: the calls before it may still be running
    enqueueLocked([this, &call, &done] {
        call();
        const std::lock_guard doneLock(m_mutex);
        done = true;
        m_ran.notify_all();
    });
    ++m_waiters;
    m_ran.wait(lock, [this, &done] { return done || m_closing; });
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
    std::function<void()> call;
    {
        const std::lock_guard lock(m_mutex);
        if (m_pending.empty()) {
            return;
        }
        call = std::move(m_pending.front());
        m_pending.pop_front();
    }
    call();
}

} // namespace ostrel
