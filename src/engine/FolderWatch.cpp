#include "engine/FolderWatch.h"

#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/Trace.h"
#include "settings/TarvikKeys.h"

#include <cerrno>
#include <cstring>

#include <sys/inotify.h>
#include <unistd.h>

namespace ostrel {
namespace {

constexpr std::uint32_t kEvents = IN_CREATE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO | IN_ATTRIB;

} // namespace

bool readWatchFolder(const std::string& tarvikIni)
{
    return readProfileInt(tarvik::kSectionCycle, tarvik::kKeyWatchFolder, 0, tarvikIni) == 1;
}

FolderWatch::FolderWatch() : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

FolderWatch::~FolderWatch()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

void FolderWatch::watch(const std::string& searchPattern)
{
    const auto slash = searchPattern.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : resolvePath(searchPattern.substr(0, slash));
    const std::string names = slash == std::string::npos ? "" : searchPattern.substr(slash + 1);
    if (m_fd < 0 || (folder == m_folder && names == m_namePattern && m_watch >= 0)) {
        return;
    }
    if (m_watch >= 0) {
        ::inotify_rm_watch(m_fd, m_watch);
        m_watch = -1;
    }
    m_folder = folder;
    m_namePattern = names;
    if (folder.empty()) {
        return;
    }
    m_watch = ::inotify_add_watch(m_fd, folder.c_str(), kEvents | IN_ONLYDIR);
    if (m_watch < 0) {
        trace("the PLU folder " + folder + " cannot be watched (" + std::strerror(errno) +
              "): new files are found by the timer");
    }
}

bool FolderWatch::takeDataFileChange()
{
    if (m_fd < 0) {
        return false;
    }
    bool changed = false;
    alignas(inotify_event) char buffer[8192];
    for (;;) {
        const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            const bool lostEvents = (event->mask & IN_Q_OVERFLOW) != 0; // look anyway
            // Events of a folder watched before the settings changed do not count.
            const bool matchingFile =
                event->wd == m_watch && event->len > 0 && wildcardMatch(m_namePattern, event->name);
            changed = changed || lostEvents || matchingFile;
        }
    }
    return changed;
}

} // namespace ostrel
