// Helpers for the engine tests: a scratch folder, file writing, and reading the record's
// bytes at literal offsets (never through the layout table under test).
#pragma once

#include "engine/PluRecord.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace ostrel::test {

class TempDir final
{
public:
    TempDir()
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "ostrel-engine-XXXXXX").string();
        m_path = ::mkdtemp(pattern.data());
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string path() const { return m_path.string(); }
    std::string file(std::string_view name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

inline void writeFile(const std::string& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

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
