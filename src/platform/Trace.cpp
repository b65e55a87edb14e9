#include "platform/Trace.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace ostrel {
namespace {

std::atomic<bool>& enabledFlag()
{
    // OSTREL_TRACE=0 silences the trace, for scripts that read stderr.
    static std::atomic<bool> enabled = [] {
        const char* value = std::getenv("OSTREL_TRACE");
        return value == nullptr || std::strcmp(value, "0") != 0;
    }();
    return enabled;
}

std::mutex& outputMutex()
{
    static std::mutex mutex;
    return mutex;
}

} // namespace

void trace(std::string_view line)
{
    if (!enabledFlag().load(std::memory_order_relaxed)) {
        return;
    }
    std::string text = "ostrel: ";
    text += line;
    text += '\n';
    const std::lock_guard lock(outputMutex());
    std::fwrite(text.data(), 1, text.size(), stderr);
}

void setTraceEnabled(bool enabled)
{
    enabledFlag().store(enabled, std::memory_order_relaxed);
}

bool traceEnabled()
{
    return enabledFlag().load(std::memory_order_relaxed);
}

} // namespace ostrel
