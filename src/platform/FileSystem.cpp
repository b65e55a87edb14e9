// POSIX stand-ins for the Windows file services the settings and data files rely on.
#include "platform/FileSystem.h"

#include "platform/Trace.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrel {
namespace {

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool pathExists(const std::string& path)
{
    struct stat info = {};
    return ::stat(path.c_str(), &info) == 0;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

// The entry of `folder` whose name equals `component` ignoring case, or "" when none does.
std::string findEntryIgnoringCase(const std::string& folder, std::string_view component)
{
    DIR* dir = ::opendir(folder.empty() ? "/" : folder.c_str());
    if (dir == nullptr) {
        return {};
    }
    std::string match;
    while (const dirent* entry = ::readdir(dir)) {
        if (equalsIgnoringCase(entry->d_name, component)) {
            match = entry->d_name;
            break;
        }
    }
    ::closedir(dir);
    return match;
}

std::string realPathOf(const std::string& path)
{
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr) {
        return {};
    }
    std::string result = real;
    std::free(real);
    return result;
}

// A data folder's link may name a file of that same folder (or below it), never one elsewhere:
// a run would otherwise send, and its backup rename, what another owner placed out of reach.
bool symlinkStaysInside(const std::string& path, const std::string& realFolder)
{
    struct stat info = {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
        return true;
    }
    const std::string target = realPathOf(path);
    if (target.empty() || realFolder.empty()) {
        return false;
    }
    const std::string prefix = realFolder == "/" ? realFolder : realFolder + "/";
    return target.rfind(prefix, 0) == 0;
}

} // namespace

std::string concatPath(std::string_view folder, std::string_view relative)
{
    std::string path(folder);
    path += relative;
    return path;
}

std::string collapseDoubleSlashes(std::string path)
{
    std::size_t pos = 0;
    while ((pos = path.find("//", pos)) != std::string::npos) {
        path.erase(pos, 1);
    }
    return path;
}

std::string resolvePath(std::string_view storedPath)
{
    std::string exact(storedPath);
    if (exact.empty() || pathExists(exact)) {
        return exact;
    }
    std::string slashed = exact;
    for (char& c : slashed) {
        if (c == '\\') {
            c = '/';
        }
    }
    if (pathExists(slashed)) {
        return slashed;
    }

    // Walk the components; the first that cannot be matched ends the walk.
    std::string resolved = slashed.front() == '/' ? "" : ".";
    std::size_t pos = slashed.front() == '/' ? 1 : 0;
    bool lost = false;
    std::string rest;
    while (pos <= slashed.size()) {
        std::size_t next = slashed.find('/', pos);
        if (next == std::string::npos) {
            next = slashed.size();
        }
        const std::string_view component(slashed.data() + pos, next - pos);
        if (!component.empty()) {
            if (lost) {
                rest += '/';
                rest += component;
            } else {
                std::string candidate = resolved + "/" + std::string(component);
                if (!pathExists(candidate)) {
                    const std::string match = findEntryIgnoringCase(resolved, component);
                    if (match.empty()) {
                        lost = true;
                        rest += '/';
                        rest += component;
                        pos = next + 1;
                        continue;
                    }
                    candidate = resolved;
                    candidate += '/';
                    candidate += match;
                }
                resolved = std::move(candidate);
            }
        }
        pos = next + 1;
    }
    std::string result = resolved + rest;
    if (slashed.front() != '/' && result.rfind("./", 0) == 0) {
        result.erase(0, 2);
    }
    return result;
}

bool entryExists(const std::string& path)
{
    return pathExists(resolvePath(path));
}

bool fileExists(const std::string& path)
{
    struct stat info = {};
    return ::stat(resolvePath(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool folderExists(const std::string& path)
{
    struct stat info = {};
    return ::stat(resolvePath(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool wildcardMatch(std::string_view pattern, std::string_view name)
{
    // Iterative match with single back-tracking point: linear for the patterns we meet.
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starP = std::string_view::npos;
    std::size_t starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() &&
            (pattern[p] == '?' || lowerAscii(pattern[p]) == lowerAscii(name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

std::vector<FoundFile> findFiles(std::string_view pattern)
{
    std::vector<FoundFile> found;
    const std::size_t slash = pattern.find_last_of("/\\");
    const std::string folderText =
        slash == std::string_view::npos ? "." : std::string(pattern.substr(0, slash));
    const std::string_view namePattern =
        slash == std::string_view::npos ? pattern : pattern.substr(slash + 1);
    const std::string folder = resolvePath(folderText.empty() ? "/" : folderText);

    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return found;
    }
    const std::string realFolder = realPathOf(folder);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == ".." || !wildcardMatch(namePattern, name)) {
            continue;
        }
        std::string path = folder;
        if (path.empty() || path.back() != '/') {
            path += '/';
        }
        path += name;
        struct stat info = {};
        if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
            continue;
        }
        if (!symlinkStaysInside(path, realFolder)) {
            trace(path + " links outside its folder; it is not read");
            continue;
        }
        found.push_back(FoundFile{std::move(path), std::string(name)});
    }
    ::closedir(dir);
    return found;
}

LocalTime toLocalTime(std::int64_t unixSeconds)
{
    const auto t = static_cast<std::time_t>(unixSeconds);
    std::tm parts{};
    ::localtime_r(&t, &parts);
    return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                     parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

LocalTime localNow()
{
    return toLocalTime(static_cast<std::int64_t>(std::time(nullptr)));
}

std::optional<FileStamp> fileStamp(const std::string& path)
{
    struct stat info = {};
    if (::stat(resolvePath(path).c_str(), &info) != 0) {
        return std::nullopt;
    }
    FileStamp stamp;
    stamp.size = static_cast<std::int64_t>(info.st_size);
    stamp.mtimeNs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 +
                    static_cast<std::int64_t>(info.st_mtim.tv_nsec);
    stamp.device = static_cast<std::uint64_t>(info.st_dev);
    stamp.inode = static_cast<std::uint64_t>(info.st_ino);
    return stamp;
}

std::optional<LocalTime> fileLastWriteLocal(const std::string& path)
{
    struct stat info = {};
    if (::stat(resolvePath(path).c_str(), &info) != 0) {
        return std::nullopt;
    }
    return toLocalTime(static_cast<std::int64_t>(info.st_mtim.tv_sec));
}

bool moveFileReplace(const std::string& from, const std::string& to)
{
    if (::rename(from.c_str(), to.c_str()) == 0) {
        return true;
    }
    if (errno != EXDEV) {
        return false;
    }
    // Another file system: copy beside the target, then rename into place, then drop the source.
    const std::string temporary = to + ".ostrel-move";
    std::error_code error;
    std::filesystem::copy_file(from, temporary, std::filesystem::copy_options::overwrite_existing,
                               error);
    if (error) {
        std::filesystem::remove(temporary, error);
        return false;
    }
    if (::rename(temporary.c_str(), to.c_str()) != 0) {
        std::filesystem::remove(temporary, error);
        return false;
    }
    std::filesystem::remove(from, error);
    return !error;
}

RenameResult renameNoReplace(const std::string& from, const std::string& to, std::string* error)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return RenameResult::Renamed;
    }
    if (errno == EINVAL || errno == ENOSYS) {
        // No RENAME_NOREPLACE here: a hard link refuses an existing name just as well.
        if (::link(from.c_str(), to.c_str()) == 0) {
            ::unlink(from.c_str());
            return RenameResult::Renamed;
        }
    }
    if (errno == EEXIST) {
        return RenameResult::TargetExists;
    }
    if (error != nullptr) {
        *error = std::strerror(errno);
    }
    return RenameResult::Failed;
}

std::optional<bool> heldOpenForWriting(const std::string& path)
{
    // A writer that opens the file while the lease is held makes the kernel signal us with
    // SIGIO, whose default action ends the program. Nothing here uses SIGIO otherwise.
    static std::once_flag ignoreSigio;
    std::call_once(ignoreSigio, [] {
        struct sigaction current
        {
        };
        if (::sigaction(SIGIO, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
            ::signal(SIGIO, SIG_IGN);
        }
    });
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return std::nullopt;
    }
    // A read lease is refused while anyone has the file open for writing.
    std::optional<bool> result;
    if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
        ::fcntl(fd, F_SETLEASE, F_UNLCK);
        result = false;
    } else if (errno == EAGAIN) {
        result = true;
    }
    ::close(fd);
    return result;
}

std::optional<std::string> readWholeFile(const std::string& path)
{
    // Non-blocking open and a type check before any read: a FIFO or a device in place of a
    // settings file would otherwise block the program, or feed it endless bytes.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        trace(path + " is not a regular file; it counts as missing");
        return std::nullopt;
    }
    std::string bytes;
    std::size_t filled = 0;
    bool failed = false;
    for (;;) {
        if (filled == bytes.size()) {
            bytes.resize(bytes.size() + 65536);
        }
        const ssize_t got = ::read(fd, bytes.data() + filled, bytes.size() - filled);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            failed = true;
            break;
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    ::close(fd);
    if (failed) {
        return std::nullopt;
    }
    bytes.resize(filled);
    return bytes;
}

bool writeFileAtomically(const std::string& path, std::string_view bytes)
{
    std::string target = path;
    mode_t mode = 0666 & ~[] {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return mask;
    }();
    struct stat info = {};
    if (::lstat(path.c_str(), &info) == 0) {
        if (S_ISLNK(info.st_mode)) {
            char* real = ::realpath(path.c_str(), nullptr);
            if (real == nullptr) {
                return false;
            }
            target = real;
            std::free(real);
            if (::stat(target.c_str(), &info) != 0) {
                return false;
            }
        }
        if (!S_ISREG(info.st_mode) || (info.st_mode & S_IWUSR) == 0) {
            return false; // a read-only file stays as it is
        }
        mode = info.st_mode & 07777;
    }

    // No fsync: settings writes come in bursts of hundreds of keys, and the rename alone
    // already keeps readers from ever seeing a half-written file.
    std::string temporary = target + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        return false; // missing folder: never created here
    }
    bool ok = ::fchmod(fd, mode) == 0;
    std::size_t written = 0;
    while (ok && written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ok = false;
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(temporary.c_str(), target.c_str()) == 0) {
        return true;
    }
    ::unlink(temporary.c_str());
    return false;
}

} // namespace ostrel
