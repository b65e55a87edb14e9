#include "platform/PrivateFolder.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrel {

std::string ensurePrivateFolder(const std::string& path)
{
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        return "cannot create the folder " + path + ": " + std::strerror(errno);
    }
    struct stat info = {};
    if (::lstat(path.c_str(), &info) != 0) {
        return "cannot examine the folder " + path + ": " + std::strerror(errno);
    }
    if (!S_ISDIR(info.st_mode)) {
        return path + " is not a folder (a link or a file is in its place); remove it";
    }
    if (info.st_uid != ::geteuid()) {
        return "the folder " + path + " belongs to another user; remove it or set XDG_RUNTIME_DIR";
    }
    if ((info.st_mode & 077) != 0) {
        return "the folder " + path +
               " may be used by other users; make it private (chmod 700) or remove it";
    }
    return {};
}

} // namespace ostrel
