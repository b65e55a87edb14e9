// Reading a data file into the run's LineTable: start row, the UTF-8 mark and its conversion,
// line ends, and one SplitLine per line.
#pragma once

#include "engine/LineSplitter.h"
#include "platform/FileSystem.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

// [SEPA_STARTROW] "Start Row" of Tarvik.ini, default 1 (0 behaves as 1).
int readStartRow(const std::string& tarvikIniPath);

// What reading one file gave.
struct FileReadResult
{
    bool opened = false;
    int linesAppended = 0;
    int linesSkipped = 0;        // did not convert, held a zero byte, or gave no column
    bool endedByComment = false; // a line began with the comment marker
    FileStamp stamp;             // identity, size and time of the bytes read
    std::uint64_t contentHash = 0;
};

class DataFileReader final
{
public:
    // Called every `everyLines` lines read, so that a caller can keep its window responsive
    // or give up; returning false stops reading the file (result 0).
    using LineHook = std::function<bool()>;

    DataFileReader(LineSplitter splitter, int startRow);

    // The per-file UTF-8 flag: the run clears it before each file.
    void resetUtf8Flag() { m_utf8 = false; }
    bool utf8Flag() const { return m_utf8; }
    void setCodePage(std::string codePage) { m_codePage = std::move(codePage); }
    void setLineHook(LineHook hook, std::size_t everyLines = 256);

    // Appends the file's lines. A bad line is skipped with a trace line and counted; a line
    // that begins with the comment marker ends the file's data.
    FileReadResult readFile(const std::string& path, LineTable& table);

    // readFile with the table's size after the file as the result, or 0 when the file cannot
    // be read or its data ended at a comment line (lines appended before stay). `readStamp`
    // receives the identity, size and time of the bytes that were read.
    int ReadDataFile(const std::string& path, LineTable& table,
                     std::optional<FileStamp>* readStamp = nullptr);

    // Removes the UTF-8 mark and converts to the code page once the file is known as UTF-8.
    std::string StripUtf8Bom(std::string_view line);

    const LineSplitter& splitter() const { return m_splitter; }

private:
    LineSplitter m_splitter;
    int m_startRow = 1;
    bool m_utf8 = false;
    std::string m_codePage;
    LineHook m_hook;
    std::size_t m_hookEvery = 256;
};

} // namespace ostrel
