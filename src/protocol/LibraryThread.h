// Owns the library's I/O context and the one thread that runs it; stops and joins on destruction.
#pragma once

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>

#include <thread>

namespace ostrel {

class LibraryThread final
{
public:
    LibraryThread();
    ~LibraryThread();
    LibraryThread(const LibraryThread&) = delete;
    LibraryThread& operator=(const LibraryThread&) = delete;

    asio::io_context& context() { return m_io; }
    bool isCurrent() const { return std::this_thread::get_id() == m_thread.get_id(); }
    // Ends the loop and joins; later calls do nothing.
    void stop();

private:
    asio::io_context m_io;
    asio::executor_work_guard<asio::io_context::executor_type> m_work;
    std::thread m_thread;
};

} // namespace ostrel
