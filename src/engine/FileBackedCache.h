// A parsed copy of a settings file that is read again only when the file changed, so a run
// sees an edit at its next line without reading the file for every use.
#pragma once

#include "platform/FileSystem.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace ostrel {

enum class CacheCheck
{
    Trust,        // nothing changed: use the copy
    CompareStamp, // read again when identity, size or modification time (ns) differ
    Reload        // something changed: read again
};

// Parse: T(std::optional<std::string_view> bytes); nullopt when the file is missing.
template <class T, class Parse> class FileBackedCache final
{
public:
    FileBackedCache(std::string path, Parse parse)
        : m_path(std::move(path)), m_parse(std::move(parse))
    {
    }

    const T& current(CacheCheck check = CacheCheck::CompareStamp)
    {
        if (m_loaded && check == CacheCheck::Trust) {
            return m_value;
        }
        auto stamp = fileStamp(m_path);
        // A rewrite of the same size within one clock tick keeps the stamp: only a Reload
        // (the kernel reported a change) is sure to see it.
        if (!m_loaded || check == CacheCheck::Reload || stamp != m_stamp) {
            std::optional<std::string> bytes;
            if (stamp) {
                bytes = readWholeFile(m_path);
            }
            m_value = bytes ? m_parse(std::optional<std::string_view>(*bytes))
                            : m_parse(std::optional<std::string_view>());
            // A write between stamp and read leaves the new bytes with the old stamp; the
            // next call sees the new stamp and reads once more.
            m_stamp = stamp;
            m_loaded = true;
        }
        return m_value;
    }

    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    Parse m_parse;
    std::optional<FileStamp> m_stamp;
    bool m_loaded = false;
    T m_value{};
};

} // namespace ostrel
