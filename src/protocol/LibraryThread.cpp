#include "protocol/LibraryThread.h"

namespace ostrel {

LibraryThread::LibraryThread()
    : m_work(asio::make_work_guard(m_io)), m_thread([this] { m_io.run(); })
{
}

LibraryThread::~LibraryThread()
{
    stop();
}

void LibraryThread::stop()
{
    m_work.reset();
    m_io.stop();
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace ostrel
