#include "app/DocumentsLock.h"

#include "platform/FileSystem.h"

#include <sys/stat.h>

namespace ostrel {

DocumentsLock::Result DocumentsLock::acquire(const SettingsPaths& paths)
{
    m_documents = paths.documents;
    m_path = paths.logFolder + "/ostrel.lock";
    if (!folderExists(paths.productFolder)) {
        return Result::NoSettings;
    }
    ::mkdir(paths.logFolder.c_str(), 0777); // one level, as the log does
    switch (m_lock.acquire(m_path)) {
    case FileLock::Result::Acquired:
        return Result::Acquired;
    case FileLock::Result::HeldByOther:
        return Result::HeldByOther;
    case FileLock::Result::Failed:
        break;
    }
    return Result::Failed;
}

std::string DocumentsLock::refusalText() const
{
    if (!m_lock.error().empty()) {
        return m_lock.error();
    }
    const auto pid = m_lock.holderPid();
    return "another Ostrel instance" + (pid ? " (PID " + std::to_string(*pid) + ")" : "") +
           " sends from the documents folder " + m_documents +
           "; only one may, so this one ends (" + m_path + ")";
}

} // namespace ostrel
