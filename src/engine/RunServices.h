// What an update run needs from its surroundings, as small interfaces so the windows, the
// headless program and the tests each plug in their own. Every method may be called on the
// scale library's thread, with the engine's lock held: implementations that touch a user
// interface hop to its thread, and none may block on another thread or call back into the
// update controller.
#pragma once

#include "engine/SendLog.h" // Clock, SystemClock

#include <cstdint>

namespace ostrel {

// The progress of a run: a bar of `maximum` steps and a status text.
class ProgressSink
{
public:
    virtual ~ProgressSink() = default;
    // Status "PLU Updating...", bar range minimum..maximum, step size; shows the progress.
    // The maximum never exceeds 65535: longer runs count in per mille.
    virtual void StartProgress(int maximum, int minimum, int step) = 0;
    // Advances by one step; status "PLU Updating...".
    virtual void StepProgress() = 0;
    // Status "Complete!!" with a full bar for 500 ms, then hidden with the bar back at 0.
    // Must not block the caller for those 500 ms.
    virtual void CompleteProgress() = 0;
};

// Timer 1, which fires the periodic update.
class UpdateTimer
{
public:
    virtual ~UpdateTimer() = default;
    // Stops the timer and starts it again with this period; 0 leaves it stopped.
    virtual void restart(std::uint32_t milliseconds) = 0;
    virtual void stop() = 0;
};

// No progress shown, no timer: for tests and one-shot runs.
class NullProgressSink final : public ProgressSink
{
public:
    void StartProgress(int, int, int) override {}
    void StepProgress() override {}
    void CompleteProgress() override {}
};

class NullUpdateTimer final : public UpdateTimer
{
public:
    void restart(std::uint32_t) override {}
    void stop() override {}
};

} // namespace ostrel
