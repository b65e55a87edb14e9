#include "engine/LogRotation.h"

#include <cstdio>

#include <sys/stat.h>

namespace ostrel {

bool rotateLogBeforeWrite(const std::string& logFile, std::uint64_t incoming, std::uint64_t limit,
                          int kept)
{
    struct stat info = {};
    if (::stat(logFile.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0) {
        return false;
    }
    if (static_cast<std::uint64_t>(info.st_size) + incoming <= limit || kept < 1) {
        return false;
    }
    const auto numbered = [&](int number) { return logFile + "." + std::to_string(number); };
    std::remove(numbered(kept).c_str());
    for (int number = kept - 1; number >= 1; --number) {
        std::rename(numbered(number).c_str(), numbered(number + 1).c_str());
    }
    // A failed rename leaves the log growing rather than losing lines.
    return std::rename(logFile.c_str(), numbered(1).c_str()) == 0;
}

} // namespace ostrel
