// Many keys of one INI file at a time: a snapshot read once for a burst of lookups, and a batch of
// writes committed as one atomic replacement. Both follow the private-profile rules exactly.
#pragma once

#include "platform/IniFile.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace ostrel {

class ProfileSnapshot final
{
public:
    explicit ProfileSnapshot(const std::string& path);

    bool fileFound() const { return m_found; }
    // As readProfileString on the file as it was when the snapshot was taken.
    std::string read(std::string_view section, std::string_view key, std::string_view defaultValue,
                     std::size_t capacity) const;

private:
    IniDocument m_document;
    bool m_found = false;
};

class ProfileBatchWriter final
{
public:
    explicit ProfileBatchWriter(const std::string& path);

    // Queues one writeProfileString; nothing touches the disk before commit().
    void write(std::string_view section, std::string_view key, std::string_view value);
    // One atomic replacement of the file; false (and the file unchanged) when it cannot be read
    // or written, for example when its folder is missing.
    bool commit();

private:
    std::string m_path;
    std::string m_text;
    bool m_loaded = false;
    bool m_loadFailed = false;
    bool m_changed = false;
};

} // namespace ostrel
