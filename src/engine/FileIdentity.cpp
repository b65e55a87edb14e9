#include "engine/FileIdentity.h"

#include <cstdio>

namespace ostrel {

void ContentHasher::feed(std::string_view bytes)
{
    for (const char byte : bytes) {
        m_hash ^= static_cast<std::uint8_t>(byte);
        m_hash *= 0x100000001b3ULL;
    }
}

std::uint64_t contentHash(std::string_view bytes)
{
    ContentHasher hasher;
    hasher.feed(bytes);
    return hasher.value();
}

std::string hashText(std::uint64_t hash)
{
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

} // namespace ostrel
