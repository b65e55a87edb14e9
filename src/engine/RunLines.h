// The lines of one run and their parse into PLU records, by the run's file type and with the
// settings files a parse consults. Kept apart from the library's blocks: the record bytes are
// all the sending side needs.
#pragma once

#include "engine/LineSplitter.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace ostrel {

class ImportSources;

// The settings files a line's parse consults.
struct RunLineSources
{
    std::string pluIdIni;
    std::string rulesFile;
    std::string runSettingsFile; // "ItemIsPLU"
};

inline constexpr std::size_t kRecordBytes = 5308;
using RecordBytes = std::array<std::uint8_t, kRecordBytes>;

class RunLines final
{
public:
    RunLines();
    RunLines(LineTable lines, int fileType, int decimals, const RunLineSources& sources);
    ~RunLines();
    RunLines(RunLines&&) noexcept;
    RunLines& operator=(RunLines&&) noexcept;

    std::size_t size() const { return m_lines.size(); }

    // Parses line `index` into `record` (zeroed first). Returns the record action code (3 or
    // 4), or 0 when the line yields no record or the file type is neither 1 nor 2.
    int parse(std::size_t index, RecordBytes& record);

private:
    LineTable m_lines;
    int m_fileType = 1;
    int m_decimals = 0;
    std::unique_ptr<ImportSources> m_sources;
};

} // namespace ostrel
