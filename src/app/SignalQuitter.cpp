#include "app/SignalQuitter.h"

#include <QCoreApplication>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ostrel {
namespace {

int g_writeFd = -1; // only the signal handler reads it

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(g_writeFd, &byte, 1);
}

} // namespace

SignalQuitter::SignalQuitter(std::function<void()> handler) : m_onSignal(std::move(handler))
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, m_fds) != 0) {
        return;
    }
    ::fcntl(m_fds[0], F_SETFL, O_NONBLOCK);
    ::fcntl(m_fds[1], F_SETFL, O_NONBLOCK);
    g_writeFd = m_fds[1];
    m_notifier = std::make_unique<QSocketNotifier>(m_fds[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] {
        char buffer[16];
        ssize_t got = 0;
        int arrived = 0;
        while ((got = ::read(m_fds[0], buffer, sizeof(buffer))) > 0) {
            arrived += static_cast<int>(got);
        }
        for (int i = 0; i < arrived; ++i) {
            if (m_onSignal) {
                m_onSignal();
            } else {
                QCoreApplication::quit();
            }
        }
    });
    struct sigaction action
    {
    };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

SignalQuitter::~SignalQuitter()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    m_notifier.reset();
    g_writeFd = -1;
    for (int fd : m_fds) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

} // namespace ostrel
