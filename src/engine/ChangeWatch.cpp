#include "engine/ChangeWatch.h"

#include "platform/FileSystem.h"

#include <cerrno>
#include <cstdint>

#include <sys/inotify.h>
#include <unistd.h>

namespace ostrel {

namespace {

constexpr std::uint32_t kFolderEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                        IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_DELETE_SELF |
                                        IN_MOVE_SELF;
constexpr std::uint32_t kFileEvents =
    IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;

std::string parentFolder(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

ChangeWatch::ChangeWatch(std::vector<std::string> paths) : m_paths(std::move(paths))
{
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd >= 0 && !addWatches()) {
        stopWatching();
    }
}

ChangeWatch::~ChangeWatch()
{
    stopWatching();
}

void ChangeWatch::stopWatching()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

bool ChangeWatch::addWatches()
{
    for (const auto& path : m_paths) {
        const std::string resolved = resolvePath(path);
        // The folder sees files created, replaced or removed; without it nothing is safe.
        if (::inotify_add_watch(m_fd, parentFolder(resolved).c_str(), kFolderEvents) < 0) {
            return false;
        }
        // The file itself, so edits through a symbolic link are seen; it may not exist yet.
        ::inotify_add_watch(m_fd, resolved.c_str(), kFileEvents);
    }
    return true;
}

bool ChangeWatch::mayHaveChanged()
{
    if (m_fd < 0) {
        return true;
    }
    bool changed = m_first;
    m_first = false;
    alignas(inotify_event) char buffer[4096];
    for (int reads = 0; reads < 64; ++reads) {
        const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
        if (got > 0) {
            changed = true;
            continue;
        }
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0 && errno != EAGAIN) {
            stopWatching();
            return true;
        }
        break;
    }
    // A replaced file is a new inode, and a folder may have gone: watch afresh.
    if (changed && !addWatches()) {
        stopWatching();
    }
    return changed;
}

} // namespace ostrel
