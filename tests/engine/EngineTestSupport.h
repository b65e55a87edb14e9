// Helpers for the engine tests: reading the record's bytes at literal offsets (never through
// the layout table under test), beside the scratch folder and file helpers of TestSupport.h.
#pragma once

#include "engine/PluRecord.h"

#include "TestSupport.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace ostrel::test {

// Little-endian unsigned value of `width` bytes at `offset`.
inline std::uint64_t bytesAt(const PluRecord& record, std::size_t offset, std::size_t width)
{
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) {
        value |= std::uint64_t{record.bytes[offset + i]} << (8 * i);
    }
    return value;
}

inline void putBytes(PluRecord& record, std::size_t offset, std::size_t width, std::uint64_t value)
{
    for (std::size_t i = 0; i < width; ++i) {
        record.bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

inline void putText(PluRecord& record, std::size_t offset, std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        record.bytes[offset + i] = static_cast<std::uint8_t>(text[i]);
    }
}

// The first differing offset, or -1; makes a byte mismatch readable.
inline long firstDifference(const PluRecord& a, const PluRecord& b)
{
    for (std::size_t i = 0; i < kPluRecordSize; ++i) {
        if (a.bytes[i] != b.bytes[i]) {
            return static_cast<long>(i);
        }
    }
    return -1;
}

} // namespace ostrel::test
