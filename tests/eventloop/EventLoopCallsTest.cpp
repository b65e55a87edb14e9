#include "eventloop/EventLoopCalls.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace ostrel {
namespace {

QCoreApplication& application()
{
    static int argc = 1;
    static char name[] = "test_app_threads";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

void pumpUntil(const std::function<bool()>& done)
{
    const QDeadlineTimer deadline(20000);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

TEST(EventLoopCalls, CallsFromOtherThreadsRunOnTheLoopInTheirOrder)
{
    application();
    EventLoopCalls calls;
    constexpr int kThreads = 4;
    constexpr int kCallsEach = 500;
    std::vector<std::vector<int>> seen(kThreads); // touched on this thread only
    std::atomic<int> ran{0};
    bool offThread = false;

    std::vector<std::thread> senders;
    for (int t = 0; t < kThreads; ++t) {
        senders.emplace_back([&, t] {
            for (int i = 0; i < kCallsEach; ++i) {
                calls.post([&, t, i] {
                    offThread |= QThread::currentThread() != calls.thread();
                    seen[static_cast<std::size_t>(t)].push_back(i);
                    ++ran;
                });
            }
        });
    }
    pumpUntil([&] { return ran == kThreads * kCallsEach; });
    for (auto& sender : senders) {
        sender.join();
    }
    EXPECT_FALSE(offThread);
    for (const auto& list : seen) {
        ASSERT_EQ(list.size(), std::size_t{kCallsEach});
        for (int i = 0; i < kCallsEach; ++i) {
            EXPECT_EQ(list[static_cast<std::size_t>(i)], i);
        }
    }
}

TEST(EventLoopCalls, PostAndWaitReturnsAfterTheCallRan)
{
    application();
    EventLoopCalls calls;

    int here = 0;
    calls.postAndWait([&] { here = 1; }); // own thread: at once, no loop needed
    EXPECT_EQ(here, 1);

    int answer = 0;
    std::atomic<bool> returned{false};
    std::thread caller([&] {
        int result = 0;
        calls.postAndWait([&] { result = 42; });
        answer = result;
        returned = true;
    });
    pumpUntil([&] { return returned.load(); });
    caller.join();
    EXPECT_EQ(answer, 42);
}

// A call that opens a nested event loop (as a message box does) lets the later calls run
// inside it, and each waiting caller comes back only when its own call has run.
TEST(EventLoopCalls, NestedLoopRunsLaterCallsAndReleasesEachCallerForItsOwnCall)
{
    application();
    EventLoopCalls calls;
    std::atomic<bool> firstStarted{false};
    std::atomic<bool> secondRan{false};
    bool firstFinished = false;
    bool firstFinishedWhenReleased = false;
    std::atomic<int> returned{0};

    std::thread first([&] {
        calls.postAndWait([&] {
            firstStarted = true;
            pumpUntil([&] { return secondRan.load(); }); // the nested loop
            firstFinished = true;
        });
        firstFinishedWhenReleased = firstFinished;
        ++returned;
    });
    std::thread second([&] {
        while (!firstStarted) {
            std::this_thread::yield();
        }
        calls.postAndWait([&] { secondRan = true; });
        ++returned;
    });
    pumpUntil([&] { return returned == 2; });
    first.join();
    second.join();
    EXPECT_TRUE(secondRan);
    EXPECT_TRUE(firstFinishedWhenReleased);
}

TEST(EventLoopCalls, DestructionReleasesAWaitingCaller)
{
    application();
    auto calls = std::make_unique<EventLoopCalls>();
    bool ran = false;
    std::thread caller([&] { calls->postAndWait([&] { ran = true; }); });
    // The object goes before the loop came to the call.
    while (calls->pendingCalls() == 0) {
        std::this_thread::yield();
    }
    calls.reset();
    caller.join();
    EXPECT_FALSE(ran);
}

} // namespace
} // namespace ostrel
