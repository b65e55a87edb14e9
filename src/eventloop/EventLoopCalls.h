#pragma once
// EventLoopCalls: hands calls from any thread to the thread of an event loop.
//
// Qt's own queued calls pass through code that ThreadSanitizer cannot see into (Qt is not
// built with it), so it reports the slot object freed on the other thread as a race. Here
// the calls wait in a queue behind a std::mutex and only a bare wake-up event crosses Qt,
// posted while that mutex is held: every hand-over is one the sanitizer can follow.

#include <QObject>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

namespace ostrel {

class EventLoopCalls final : public QObject
{
    Q_DISABLE_COPY_MOVE(EventLoopCalls)

public:
    // Runs the calls on the thread this object is made on.
    explicit EventLoopCalls(QObject* parent = nullptr);
    ~EventLoopCalls() override;

    // Queued, also from the object's own thread; calls run in the order they were posted,
    // one per wake-up, so a nested event loop (a message box) runs the later ones as Qt's
    // own queued calls would.
    void post(std::function<void()> call);
    // Runs the call and returns when it has run: at once on the object's own thread,
    // otherwise after the event loop ran it. The caller must hold no lock that the
    // loop's thread may wait for.
    void postAndWait(std::function<void()> call);

    // Calls queued and not yet run.
    std::size_t pendingCalls() const;

protected:
    // Every custom event this object gets is a wake-up. It does not look at the event
    // before taking the mutex: that is what orders the event's creation before its use.
    void customEvent(QEvent* event) override;

private:
    void enqueueLocked(std::function<void()> call);

    mutable std::mutex m_mutex;
    std::condition_variable m_ran;
    std::deque<std::function<void()>> m_pending;
    int m_waiters = 0;      // callers inside postAndWait()
    bool m_closing = false; // set by the destructor: queued calls will not run
};

} // namespace ostrel
