#include "settings/ProfileBatch.h"

#include "platform/FileSystem.h"

#include <utility>

namespace ostrel {

ProfileSnapshot::ProfileSnapshot(const std::string& path)
{
    if (const auto bytes = readWholeFile(resolvePath(path))) {
        m_document = IniDocument::parse(*bytes);
        m_found = true;
    }
}

std::string ProfileSnapshot::read(std::string_view section, std::string_view key,
                                  std::string_view defaultValue, std::size_t capacity) const
{
    if (capacity == 0) {
        return {};
    }
    std::string result = defaultWithoutTrailingSpaces(defaultValue);
    if (auto value = m_document.value(section, key)) {
        result = std::move(*value);
    }
    if (result.size() > capacity - 1) {
        result.resize(capacity - 1);
    }
    return result;
}

ProfileBatchWriter::ProfileBatchWriter(const std::string& path) : m_path(resolvePath(path)) {}

void ProfileBatchWriter::write(std::string_view section, std::string_view key,
                               std::string_view value)
{
    if (!m_loaded) {
        m_loaded = true;
        if (fileExists(m_path)) {
            if (auto bytes = readWholeFile(m_path)) {
                m_text = std::move(*bytes);
            } else {
                m_loadFailed = true;
            }
        } else {
            m_changed = true; // a new file is written even when every value is empty
        }
    }
    std::string updated = applyProfileWrite(m_text, section, key, value);
    if (updated != m_text) {
        m_text = std::move(updated);
        m_changed = true;
    }
}

bool ProfileBatchWriter::commit()
{
    if (m_loadFailed) {
        return false;
    }
    if (!m_changed) {
        return true;
    }
    if (!writeFileAtomically(m_path, m_text)) {
        return false;
    }
    m_changed = false;
    return true;
}

} // namespace ostrel
