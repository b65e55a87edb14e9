#include "format/DataFiles.h"

#include <algorithm>
#include <numeric>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrel {

namespace {

bool laterThan(const LocalTime& a, const LocalTime& b)
{
    return a > b; // year, month, day, hour, minute, second
}

// Opens the match as the original did, so locked, vanished and non-regular files drop out.
std::optional<LocalTime> readableFileTime(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat info
    {
    };
    const bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ::close(fd);
    if (!ok) {
        return std::nullopt;
    }
    return toLocalTime(info.st_mtim.tv_sec);
}

} // namespace

void SortDataFiles(std::vector<DataFileEntry>& rows, std::size_t count)
{
    count = std::min(count, rows.size());
    for (std::size_t i = 0; i + 1 < count; ++i) {
        for (std::size_t j = i + 1; j < count; ++j) {
            if (laterThan(rows[i].time, rows[j].time)) {
                std::swap(rows[i], rows[j]);
            }
        }
    }
}

std::vector<DataFileEntry> FindDataFiles(std::string_view searchPattern, std::size_t* matched)
{
    std::vector<DataFileEntry> found;
    if (matched != nullptr) {
        *matched = 0;
    }
    if (searchPattern.empty()) {
        return found;
    }
    for (auto& match : findFiles(searchPattern)) {
        if (auto time = readableFileTime(match.path)) {
            found.push_back({std::move(match.path), *time, std::nullopt});
        }
    }
    if (matched != nullptr) {
        *matched = found.size();
    }

    if (found.size() > kMaxDataFiles) {
        // Keep the oldest, in search order, so the rest go in a later run.
        std::vector<std::size_t> order(found.size());
        std::iota(order.begin(), order.end(), std::size_t{0});
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return found[a].time < found[b].time;
        });
        order.resize(kMaxDataFiles);
        std::sort(order.begin(), order.end());
        std::vector<DataFileEntry> oldest;
        oldest.reserve(kMaxDataFiles);
        for (const std::size_t index : order) {
            oldest.push_back(std::move(found[index]));
        }
        found = std::move(oldest);
    }

    // Sorting after every added row, as rows arrive, decides the order of equal times.
    std::vector<DataFileEntry> table;
    table.reserve(found.size());
    for (auto& entry : found) {
        table.push_back(std::move(entry));
        SortDataFiles(table, table.size());
    }
    return table;
}

} // namespace ostrel
