// File services the Windows program took from the platform: path building, tolerant path
// resolution, wildcard search, local last-write times, move with replace, whole-file reads.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// Paths are built by plain concatenation of a folder and a relative text beginning with "/".
std::string concatPath(std::string_view folder, std::string_view relative);

// Replaces every "//" by "/" until none is left (patterns built from a folder that already
// ends with a slash).
std::string collapseDoubleSlashes(std::string path);

// A stored path may come from Windows: "\" separators and a case that differs from the disk.
// Returns the path as given when it exists; otherwise resolves it component by component,
// ignoring case, and returns the existing match; otherwise returns the path with "\" turned
// into "/".
std::string resolvePath(std::string_view storedPath);

bool entryExists(const std::string& path);  // anything at all (after resolvePath)
bool fileExists(const std::string& path);   // a regular file (after resolvePath)
bool folderExists(const std::string& path); // a directory (after resolvePath)

// Case-insensitive wildcard match of a whole name: '*' any run, '?' one byte.
bool wildcardMatch(std::string_view pattern, std::string_view name);

struct FoundFile
{
    std::string path; // folder of the pattern + "/" + name
    std::string name;
};

// FindFirstFile-style search: the pattern is folder + "/" + name pattern; the folder is
// resolved with resolvePath. Only regular files match; folders are skipped. Directory order.
std::vector<FoundFile> findFiles(std::string_view pattern);

// A broken-down local time, second resolution.
struct LocalTime
{
    int year = 0;
    int month = 0; // 1..12
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;

    // NOLINTNEXTLINE(modernize-use-nullptr): clang-tidy 14 misreads the defaulted comparison
    auto operator<=>(const LocalTime&) const = default;
};

LocalTime toLocalTime(std::int64_t unixSeconds);
LocalTime localNow();

struct FileStamp
{
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0; // nanoseconds since the epoch
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileStamp&) const = default;
};

// Identity, size and modification time of a file, nullopt when it does not exist.
std::optional<FileStamp> fileStamp(const std::string& path);

// The last-write time of a file in local time, nullopt when it does not exist.
std::optional<LocalTime> fileLastWriteLocal(const std::string& path);

// Rename with replace; falls back to copy + remove across file systems.
bool moveFileReplace(const std::string& from, const std::string& to);

// Rename that never replaces an existing file, so one backup cannot overwrite another.
enum class RenameResult
{
    Renamed,
    TargetExists,
    Failed
};
// `error` receives the system's reason on failure.
RenameResult renameNoReplace(const std::string& from, const std::string& to,
                             std::string* error = nullptr);

// Whether some process holds the file open for writing: nullopt where the platform does not
// tell (not our file, or a file system without leases).
std::optional<bool> heldOpenForWriting(const std::string& path);

// Whole file as bytes, nullopt when it cannot be opened.
std::optional<std::string> readWholeFile(const std::string& path);

// Writes bytes to `path` through a temporary file in the same folder and a rename. Never
// creates folders. Keeps the mode of an existing file.
bool writeFileAtomically(const std::string& path, std::string_view bytes);

} // namespace ostrel
