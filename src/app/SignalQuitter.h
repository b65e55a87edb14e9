// Ends the event loop cleanly on SIGINT and SIGTERM (self-pipe, so the handler stays
// async-signal-safe).
#pragma once

#include <QSocketNotifier>

#include <memory>

namespace ostrel {

class SignalQuitter final
{
public:
    SignalQuitter();
    ~SignalQuitter();
    SignalQuitter(const SignalQuitter&) = delete;
    SignalQuitter& operator=(const SignalQuitter&) = delete;

private:
    int m_fds[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace ostrel
