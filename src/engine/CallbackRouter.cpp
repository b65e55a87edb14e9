#include "engine/CallbackRouter.h"

#include <condition_variable>
#include <mutex>
#include <stdexcept>

namespace ostrel {

namespace {

struct RouterState
{
    std::mutex mutex;
    std::condition_variable idle;
    CallbackTarget* target = nullptr;
    int inside = 0; // callbacks currently running in the target
};

RouterState& state()
{
    static RouterState s;
    return s;
}

// Callbacks this thread is running, so a removal from inside one does not wait for itself.
thread_local int t_insideHere = 0;

template <class Call> int route(Call call)
{
    RouterState& s = state();
    CallbackTarget* target = nullptr;
    {
        std::lock_guard lock(s.mutex);
        if (s.target == nullptr) {
            return 0;
        }
        target = s.target;
        ++s.inside;
    }
    ++t_insideHere;
    const int result = call(*target);
    --t_insideHere;
    {
        std::lock_guard lock(s.mutex);
        --s.inside;
    }
    s.idle.notify_all();
    return result;
}

} // namespace

int CallbackRouter::onReply(SendBlock block)
{
    return route([&block](CallbackTarget& target) { return target.replyArrived(block); });
}

int CallbackRouter::onEvent(SendBlock block)
{
    return route([&block](CallbackTarget& target) { return target.eventArrived(block); });
}

CallbackRouter::Registration::Registration(CallbackTarget& target)
{
    RouterState& s = state();
    std::lock_guard lock(s.mutex);
    if (s.target != nullptr) {
        throw std::logic_error("a second update engine cannot receive the scale library's calls");
    }
    s.target = &target;
}

CallbackRouter::Registration::~Registration()
{
    RouterState& s = state();
    std::unique_lock lock(s.mutex);
    s.target = nullptr;
    s.idle.wait(lock, [&s] { return s.inside <= t_insideHere; });
}

} // namespace ostrel
