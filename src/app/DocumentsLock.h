// One Ostrel per documents folder: every mode that sends or writes settings holds
// Log/ostrel.lock, whatever runtime folder (and so whatever instance socket) it was started
// with. A cron job's --once and the desktop's tray instance could otherwise both send, and the
// one that lost the backup's rename would mark the file superseded.
#pragma once

#include "platform/FileLock.h"
#include "settings/SettingsPaths.h"

#include <string>

namespace ostrel {

class DocumentsLock final
{
public:
    enum class Result
    {
        Acquired,
        NoSettings, // no product folder: nothing can be sent from it, nothing to guard
        HeldByOther,
        Failed
    };

    Result acquire(const SettingsPaths& paths);
    // Why the start was refused, for stderr or a message box.
    std::string refusalText() const;

private:
    FileLock m_lock;
    std::string m_path;
    std::string m_documents;
};

} // namespace ostrel
