// What makes a data file the same file to the delivery journal: its size, modification time
// and a hash of its bytes. A name alone would not do: the back office writes the same name
// every day, and a backup carries another name for the same bytes.
#pragma once

#include "platform/FileSystem.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace ostrel {

// 64-bit FNV-1a over the bytes: cheap, and with size and time beside it a collision between
// two versions of one shop's file is not a practical concern.
std::uint64_t contentHash(std::string_view bytes);
// The same over bytes that come in pieces.
class ContentHasher final
{
public:
    void feed(std::string_view bytes);
    std::uint64_t value() const { return m_hash; }

private:
    std::uint64_t m_hash = 0xcbf29ce484222325ULL;
};

struct FileIdentity
{
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0;
    std::uint64_t hash = 0;
    bool operator==(const FileIdentity&) const = default;
};

inline FileIdentity identityOf(const FileStamp& stamp, std::uint64_t hash)
{
    return {stamp.size, stamp.mtimeNs, hash};
}

// The hash as 16 hexadecimal digits, as the journal stores it.
std::string hashText(std::uint64_t hash);

} // namespace ostrel
