// Shared by the fuzz targets whose code under test reads a file: one scratch file per target
// process, rewritten with each input.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <utility>

namespace ostrel::fuzz {

class ScratchFile final
{
public:
    // `pattern` ends in "XXXXXX", as mkstemp wants.
    explicit ScratchFile(std::string pattern) : m_path(std::move(pattern))
    {
        const int fd = ::mkstemp(m_path.data());
        if (fd < 0) {
            std::abort();
        }
        ::close(fd);
    }

    const std::string& path() const { return m_path; }

    void write(const std::string& bytes) const
    {
        std::FILE* file = std::fopen(m_path.c_str(), "wb");
        if (file == nullptr) {
            std::abort();
        }
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }

private:
    std::string m_path;
};

} // namespace ostrel::fuzz
