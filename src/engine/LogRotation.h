// Keeps Ostrel.log bounded: before a write that would take it past its limit, the log becomes
// Ostrel.log.1, the older ones move up one number, and the oldest beyond the fifth goes.
// Only whole writes are rotated around, so no line is ever split between two files.
#pragma once

#include <cstdint>
#include <string>

namespace ostrel {

inline constexpr std::uint64_t kLogRotateBytes = 10ull * 1024 * 1024;
inline constexpr int kLogFilesKept = 5;

// Rotates `logFile` when its size plus `incoming` bytes would exceed `limit` (a log that is
// empty or missing never rotates, so one oversized write still lands). True when it rotated.
bool rotateLogBeforeWrite(const std::string& logFile, std::uint64_t incoming,
                          std::uint64_t limit = kLogRotateBytes, int kept = kLogFilesKept);

} // namespace ostrel
