#include "engine/LineIndex.h"

#include "platform/Trace.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace ostrel {

namespace {

constexpr std::size_t kBufferedEntries = 65536; // 1 MB between writes

std::string temporaryFolder()
{
    const char* folder = std::getenv("TMPDIR");
    return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

} // namespace

LineIndex::LineIndex()
    : m_spill(::open(temporaryFolder().c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600))
{
    if (!m_spill.valid()) {
        trace("line index kept in memory: no temporary file in " + temporaryFolder() + ": " +
              std::strerror(errno));
    }
    m_buffer.reserve(kBufferedEntries);
}

LineIndex::~LineIndex()
{
    if (m_mapping != nullptr) {
        ::munmap(m_mapping, m_mappedBytes);
    }
}

void LineIndex::append(const Entry& entry)
{
    m_buffer.push_back(entry);
    ++m_size;
    if (m_spill.valid() && m_buffer.size() == kBufferedEntries && !spill()) {
        keepInMemory();
    }
}

bool LineIndex::spill()
{
    const auto* bytes = reinterpret_cast<const char*>(m_buffer.data());
    const std::size_t total = m_buffer.size() * sizeof(Entry);
    for (std::size_t done = 0; done < total;) {
        const ssize_t wrote = ::pwrite(m_spill.get(), bytes + done, total - done,
                                       static_cast<off_t>(m_written * sizeof(Entry) + done));
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            trace(std::string("line index kept in memory: the temporary file is full: ") +
                  std::strerror(errno));
            return false;
        }
        done += static_cast<std::size_t>(wrote);
    }
    m_written += m_buffer.size();
    m_buffer.clear();
    return true;
}

void LineIndex::keepInMemory()
{
    // What was written comes back, so every entry is in the buffer, in order.
    std::vector<Entry> all(m_written);
    const std::size_t total = m_written * sizeof(Entry);
    auto* bytes = reinterpret_cast<char*>(all.data());
    for (std::size_t done = 0; done < total;) {
        const ssize_t got =
            ::pread(m_spill.get(), bytes + done, total - done, static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break; // cannot be: the bytes were written; the entries stay zero
        }
        done += static_cast<std::size_t>(got);
    }
    all.insert(all.end(), m_buffer.begin(), m_buffer.end());
    m_buffer = std::move(all);
    m_written = 0;
    m_spill = FileDescriptor();
}

void LineIndex::finish()
{
    if (m_spill.valid() && !m_buffer.empty() && !spill()) {
        keepInMemory();
    }
    if (m_spill.valid() && m_written > 0) {
        m_mappedBytes = m_written * sizeof(Entry);
        void* mapping = ::mmap(nullptr, m_mappedBytes, PROT_READ, MAP_SHARED, m_spill.get(), 0);
        if (mapping != MAP_FAILED) {
            m_mapping = mapping;
            m_entries = static_cast<const Entry*>(mapping);
            m_buffer = {};
            return;
        }
        m_mappedBytes = 0;
        keepInMemory();
    }
    m_buffer.shrink_to_fit();
    m_entries = m_buffer.data();
}

} // namespace ostrel
