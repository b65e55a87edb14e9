// The run services of the program without windows: the update timer on the Qt event loop, and
// progress on stderr when it is a terminal.
#pragma once

#include "engine/RunServices.h"
#include "eventloop/EventLoopCalls.h"

#include <QTimer>

#include <cstdint>
#include <functional>
#include <mutex>

namespace ostrel {

// Timer 1 on the thread that created it; restart/stop may be called from any thread.
class QtUpdateTimer final : public UpdateTimer
{
public:
    explicit QtUpdateTimer(std::function<void()> onTick);
    ~QtUpdateTimer() override;
    QtUpdateTimer(const QtUpdateTimer&) = delete;
    QtUpdateTimer& operator=(const QtUpdateTimer&) = delete;

    void restart(std::uint32_t milliseconds) override;
    void stop() override;

    bool isActive() const { return m_timer.isActive(); }
    std::uint32_t period() const { return m_period; }

private:
    void apply(std::uint32_t milliseconds);
    void armNextLeg();
    void onTimeout();
    template <typename F> void onTimerThread(F&& action);

    QTimer m_timer;
    EventLoopCalls m_calls; // made with the timer, so it runs on the timer's thread
    std::function<void()> m_onTick;
    std::uint32_t m_period = 0;    // owned by the timer's thread
    std::uint64_t m_remaining = 0; // of a period longer than one QTimer interval
};

// "PLU Updating... n/m" on one terminal line; nothing when stderr is no terminal.
class TerminalProgress final : public ProgressSink
{
public:
    TerminalProgress();
    void StartProgress(int maximum, int minimum, int step) override;
    void StepProgress() override;
    void CompleteProgress() override;

private:
    void draw(const char* status);

    bool m_enabled;
    std::mutex m_mutex;
    int m_maximum = 0;
    int m_minimum = 0;
    int m_step = 1;
    int m_position = 0;
    int m_lastPermille = -1;
};

} // namespace ostrel
