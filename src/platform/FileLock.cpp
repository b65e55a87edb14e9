#include "platform/FileLock.h"

#include <cerrno>
#include <charconv>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace ostrel {

FileLock::~FileLock()
{
    if (m_fd >= 0) {
        ::close(m_fd); // releases the lock
    }
}

FileLock::Result FileLock::acquire(const std::string& path)
{
    if (m_fd >= 0) {
        return Result::Acquired;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        m_error = "cannot open " + path + ": " + std::strerror(errno);
        return Result::Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EWOULDBLOCK) {
            char text[32] = {};
            const ssize_t length = ::pread(fd, text, sizeof text - 1, 0);
            long pid = 0;
            if (length > 0 && std::from_chars(text, text + length, pid).ec == std::errc() &&
                pid > 0) {
                m_holderPid = pid;
            }
            ::close(fd);
            return Result::HeldByOther;
        }
        ::close(fd);
        m_error = "cannot lock " + path + ": " + std::strerror(error);
        return Result::Failed;
    }
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, pid.data(), pid.size(), 0) < 0) {
        // The lock holds all the same; only the name in a refusal is missing.
    }
    m_fd = fd;
    return Result::Acquired;
}

} // namespace ostrel
