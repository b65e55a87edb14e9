// The PLU folder watched for data files ([CYCLE] "WATCH FOLDER"): one kernel notification
// queue (inotify) whose descriptor stays the same for the object's life, so an event loop can
// wait on it once; the folder it watches follows the settings. A folder the kernel cannot
// watch (a network share, a missing folder) leaves the timer alone to find files.
#pragma once

#include <string>
#include <string_view>

namespace ostrel {

// [CYCLE] "WATCH FOLDER": on only for 1 (a missing key is off; the template sets 1).
bool readWatchFolder(const std::string& tarvikIni);

class FolderWatch final
{
public:
    FolderWatch();
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // Watches the folder of `searchPattern` for names it matches; "" watches nothing. Says
    // in one trace line when the folder cannot be watched.
    void watch(const std::string& searchPattern);
    // -1 when no queue could be made at all.
    int descriptor() const { return m_fd; }
    bool watching() const { return m_watch >= 0; }
    // Reads what the queue holds: true when a matching file was created, written, renamed
    // into the folder or changed its time. Never blocks.
    bool takeDataFileChange();

private:
    int m_fd = -1;
    int m_watch = -1;
    std::string m_folder;
    std::string m_namePattern;
};

} // namespace ostrel
