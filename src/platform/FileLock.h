// An exclusive advisory lock on a file (flock), held for the object's life and released by
// the kernel when the process ends, however it ends: no stale lock is ever left behind. The
// holder's process id is written into the file so that a refused start can name it.
#pragma once

#include <optional>
#include <string>

namespace ostrel {

class FileLock final
{
public:
    enum class Result
    {
        Acquired,
        HeldByOther,
        Failed
    };

    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Creates the file when missing (never its folder). HeldByOther: `holderPid` tells who,
    // when the file says; Failed: `error` says why.
    Result acquire(const std::string& path);
    std::optional<long> holderPid() const { return m_holderPid; }
    const std::string& error() const { return m_error; }
    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
    std::optional<long> m_holderPid;
    std::string m_error;
};

} // namespace ostrel
