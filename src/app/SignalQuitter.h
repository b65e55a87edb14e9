// Turns SIGINT and SIGTERM into a call on the event loop's thread (self-pipe, so the handler
// stays async-signal-safe). Without a handler of its own it ends the event loop.
#pragma once

#include <QSocketNotifier>

#include <functional>
#include <memory>

namespace ostrel {

class SignalQuitter final
{
public:
    explicit SignalQuitter(std::function<void()> onSignal = {});
    ~SignalQuitter();
    SignalQuitter(const SignalQuitter&) = delete;
    SignalQuitter& operator=(const SignalQuitter&) = delete;

private:
    int m_fds[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::function<void()> m_onSignal;
};

} // namespace ostrel
