// The lines of one run and their parse into PLU records, by the run's file type and with the
// settings files a parse consults. The lines stay in their files: a line is read again and
// split when a scale needs it, so a run's memory does not grow with its files. Kept apart from
// the library's blocks: the record bytes are all the sending side needs.
#pragma once

#include "engine/DataFileReader.h"
#include "engine/LineParsers.h"
#include "engine/LineSplitter.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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
    // The lines of `files` one after another, read again and split by `reader`; `fileLines`:
    // the line of its file each line was read from.
    RunLines(const DataFileReader& reader, std::vector<IndexedFile> files,
             FileLineNumbers fileLines, int fileType, int decimals, const RunLineSources& sources);
    ~RunLines();
    RunLines(RunLines&&) noexcept;
    RunLines& operator=(RunLines&&) noexcept;

    std::size_t size() const { return m_size; }

    // Parses line `index` into `record` (zeroed first). Returns the record action code (3 or
    // 4), or 0 when the line yields no record, can no longer be read from its file, or the
    // file type is neither 1 nor 2.
    int parse(std::size_t index, RecordBytes& record);

    // The first number field read only in part, by line, of the lines parsed into a record so
    // far; a line that several scales get counts once, as its first parse read it.
    const std::map<std::size_t, PartialRead>& partialReads() const { return m_partialReads; }
    // The PLU file setting window's layout, not saved yet (see ImportSources).
    void overrideLayout(std::optional<std::vector<int>> columns, std::optional<bool> itemIsPlu);

    // The line of its file line `index` was read from; 0 when unknown.
    int fileLine(std::size_t index) const { return m_fileLines.at(index); }

private:
    std::optional<DataFileReader> m_reader;
    std::vector<IndexedFile> m_files;
    std::vector<std::size_t> m_fileEnds; // run index just after each file's last line
    std::size_t m_size = 0;
    ColumnList m_columns; // the parsed line's, reused
    FileLineNumbers m_fileLines;
    std::map<std::size_t, PartialRead> m_partialReads;
    int m_fileType = 1;
    int m_decimals = 0;
    std::unique_ptr<ImportSources> m_sources;
};

} // namespace ostrel
