// Where each data line of a file lies, kept out of the heap: the entries go to an unlinked
// temporary file that is mapped once the file is indexed, so the kernel may page them out and
// a run's anonymous memory does not grow with the file. Where no temporary file can be
// written, they stay in memory.
#pragma once

#include "platform/FileDescriptor.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ostrel {

class LineIndex final
{
public:
    struct Entry
    {
        std::uint64_t offset = 0; // of the line's first byte in its file
        std::uint32_t length = 0; // without the line end
        std::uint32_t check = 0;  // of the line's bytes, to tell a line rewritten later
    };

    LineIndex();
    ~LineIndex();
    LineIndex(const LineIndex&) = delete;
    LineIndex& operator=(const LineIndex&) = delete;

    void append(const Entry& entry);
    // After the last append: maps what was written.
    void finish();

    std::size_t size() const { return m_size; }
    // Valid after finish().
    const Entry& operator[](std::size_t index) const { return m_entries[index]; }

private:
    bool spill();
    void keepInMemory();

    FileDescriptor m_spill;      // the temporary file, or none
    std::vector<Entry> m_buffer; // entries not written yet, or all of them in memory
    std::size_t m_size = 0;
    std::size_t m_written = 0; // entries in the temporary file
    void* m_mapping = nullptr;
    std::size_t m_mappedBytes = 0;
    const Entry* m_entries = nullptr;
};

} // namespace ostrel
