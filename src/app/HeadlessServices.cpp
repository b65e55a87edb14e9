#include "app/HeadlessServices.h"

#include <QThread>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <unistd.h>

namespace ostrel {

QtUpdateTimer::QtUpdateTimer(std::function<void()> onTick) : m_onTick(std::move(onTick))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::CoarseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { onTimeout(); });
}

QtUpdateTimer::~QtUpdateTimer() = default;

template <typename F> void QtUpdateTimer::onTimerThread(F&& action)
{
    if (QThread::currentThread() == m_timer.thread()) {
        action();
    } else {
        // A run can end on the scale library's thread; the timer belongs to the event loop.
        m_calls.post(std::forward<F>(action));
    }
}

void QtUpdateTimer::restart(std::uint32_t milliseconds)
{
    onTimerThread([this, milliseconds] { apply(milliseconds); });
}

void QtUpdateTimer::stop()
{
    onTimerThread([this] { apply(0); });
}

void QtUpdateTimer::apply(std::uint32_t milliseconds)
{
    m_timer.stop();
    m_period = milliseconds;
    m_remaining = milliseconds;
    if (milliseconds != 0) {
        armNextLeg();
    }
}

// QTimer takes an int; longer periods (up to 49.7 days) run as several legs.
void QtUpdateTimer::armNextLeg()
{
    const auto leg = static_cast<int>(std::min<std::uint64_t>(m_remaining, INT_MAX));
    m_remaining -= static_cast<std::uint64_t>(leg);
    m_timer.start(leg);
}

void QtUpdateTimer::onTimeout()
{
    if (m_remaining > 0) {
        armNextLeg();
        return;
    }
    // Periodic: the next period starts now, unless the tick restarts or stops the timer.
    m_remaining = m_period;
    armNextLeg();
    if (m_onTick) {
        m_onTick();
    }
}

TerminalProgress::TerminalProgress() : m_enabled(::isatty(STDERR_FILENO) == 1) {}

void TerminalProgress::StartProgress(int maximum, int minimum, int step)
{
    const std::lock_guard lock(m_mutex);
    m_maximum = maximum;
    m_minimum = minimum;
    m_step = step;
    m_position = minimum;
    m_lastPermille = -1;
    draw("PLU Updating...");
}

void TerminalProgress::StepProgress()
{
    const std::lock_guard lock(m_mutex);
    m_position = std::min(m_position + m_step, m_maximum);
    draw("PLU Updating...");
}

void TerminalProgress::CompleteProgress()
{
    const std::lock_guard lock(m_mutex);
    m_position = m_maximum;
    m_lastPermille = -1;
    draw("Complete!!");
    if (m_enabled) {
        std::fputc('\n', stderr);
    }
    m_position = 0;
}

void TerminalProgress::draw(const char* status)
{
    if (!m_enabled) {
        return;
    }
    const int span = std::max(1, m_maximum - m_minimum);
    const int permille = static_cast<int>(1000LL * (m_position - m_minimum) / span);
    if (permille == m_lastPermille) {
        return; // a redraw per line would flood a slow terminal
    }
    m_lastPermille = permille;
    std::fprintf(stderr, "\r%-16s %d/%d", status, m_position - m_minimum, m_maximum - m_minimum);
    std::fflush(stderr);
}

} // namespace ostrel
