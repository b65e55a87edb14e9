// The scale library's callbacks are plain function pointers without user data. This router is
// the one place that turns them into calls on the live update engine: the engine registers
// itself for its lifetime, and removal waits until no callback is still inside it.
#pragma once

#include "protocol/ScaleBlocks.h"

namespace ostrel {

class CallbackTarget
{
public:
    virtual int replyArrived(const SendBlock& block) = 0;
    virtual int eventArrived(const SendBlock& block) = 0;

protected:
    ~CallbackTarget() = default;
};

class CallbackRouter final
{
public:
    // The functions handed to the library in the ConnectionBlock; with no target registered
    // they return 0 and do nothing.
    static int onReply(SendBlock block);
    static int onEvent(SendBlock block);

    // One registration at a time: a second one while the first lives is a programming error
    // (std::logic_error).
    class Registration final
    {
    public:
        explicit Registration(CallbackTarget& target);
        // Stops routing, then waits for callbacks already inside the target (except one that
        // is destroying it from inside a callback).
        ~Registration();
        Registration(const Registration&) = delete;
        Registration& operator=(const Registration&) = delete;
    };
};

} // namespace ostrel
