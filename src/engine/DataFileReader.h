// Reading a data file: start row, the file's encoding and the conversion of a UTF-8 file to
// the code page, line ends, and one SplitLine per line. A run keeps no line in memory: it
// indexes the file (IndexedFile) and reads a line again when a scale needs it; the windows'
// sample readers and the tests take the lines into a LineTable.
#pragma once

#include "engine/LineSplitter.h"
#include "platform/FileDescriptor.h"
#include "platform/FileSystem.h"
#include "platform/TextEncoding.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// [SEPA_STARTROW] "Start Row" of Tarvik.ini, default 1 (0 behaves as 1).
int readStartRow(const std::string& tarvikIniPath);

// The file's line number of each appended line, kept as runs of consecutive lines: one run
// for most files, however long (a vector of every number would fragment the heap beside the
// table's many small blocks).
class FileLineNumbers final
{
public:
    // Line `index` of the table was read from line `fileLine`; indexes only grow.
    void append(std::size_t index, std::uint32_t fileLine);
    // Another file's numbers, its line 0 being line `offset` here.
    void appendAll(const FileLineNumbers& other, std::size_t offset);
    // 0 for a line nothing was appended for.
    int at(std::size_t index) const;

private:
    struct Run
    {
        std::size_t first;
        std::uint32_t fileLine;
    };
    std::vector<Run> m_runs;
    std::size_t m_end = 0; // just after the last appended line
};

// A data file as a run keeps it: the file held open (a later rename or rewrite by the back
// office does not change what this descriptor reads) and where each data line lies in it.
// Copies share the file. Reading a line is safe from any thread.
class IndexedFile final
{
public:
    IndexedFile();
    std::size_t size() const;
    // The raw bytes of line `index` (no line end); false when the file no longer holds them:
    // it was cut short or rewritten in place since it was indexed.
    bool readLine(std::size_t index, std::string& bytes) const;
    bool utf8() const;

private:
    friend class DataFileReader;
    struct Data;
    std::shared_ptr<Data> m_data;
};

// What reading one file gave.
struct FileReadResult
{
    bool opened = false;
    int linesAppended = 0;
    int linesSkipped = 0;        // did not convert, held a zero byte, or gave no column
    bool endedByComment = false; // a line began with the comment marker
    FileStamp stamp;             // identity, size and time of the bytes read
    std::uint64_t contentHash = 0;
    EncodingDecision encoding;
    std::string codePage;               // the code page of the reading
    std::size_t unmappedCharacters = 0; // UTF-8 characters the code page lacks, sent as '?'
    int firstUnmappedLine = 0;          // the file's line of the first of them
    FileLineNumbers lineNumbers;        // the file's line of each appended line
    // The first skipped lines with why: the file's line and the reason.
    std::vector<std::pair<int, std::string>> skippedLines;
};

class DataFileReader final
{
public:
    // Called every `everyLines` lines read, so that a caller can keep its window responsive
    // or give up; returning false stops reading the file (result 0).
    using LineHook = std::function<bool()>;

    DataFileReader(LineSplitter splitter, int startRow);

    void setCodePage(std::string codePage);
    void setEncoding(EncodingSetting setting) { m_encoding = setting; }
    void setLineHook(LineHook hook, std::size_t everyLines = 256);

    // Appends the file's lines. A bad line is skipped with a trace line and counted; a line
    // that begins with the comment marker ends the file's data.
    FileReadResult readFile(const std::string& path, LineTable& table);
    // The same reading, keeping where each line lies instead of its columns.
    FileReadResult indexFile(const std::string& path, IndexedFile& file);
    // The columns of line `index` of an indexed file, as readFile gives them; false when the
    // line can no longer be read or yields no column now.
    bool lineColumns(const IndexedFile& file, std::size_t index, ColumnList& columns) const;

    // readFile with the table's size after the file as the result, or 0 when the file cannot
    // be read or its data ended at a comment line (lines appended before stay). `readStamp`
    // receives the identity, size and time of the bytes that were read.
    int ReadDataFile(const std::string& path, LineTable& table,
                     std::optional<FileStamp>* readStamp = nullptr);

    // A line of a UTF-8 file: a mark at its start goes, the rest is converted to the code page
    // ("" when it is not UTF-8); characters the code page lacks become '?' and are counted.
    // The result views `line`, or `storage` when it had to be converted.
    std::string_view StripUtf8Bom(std::string_view line, std::string& storage,
                                  std::size_t& unmapped) const;

    const LineSplitter& splitter() const { return m_splitter; }

private:
    // Every kept line with where it lies, in file order.
    using LineSink = std::function<void(std::string_view line, std::uint64_t offset, ColumnList&)>;
    FileReadResult walk(const std::string& path, FileDescriptor& fd, const LineSink& sink);

    LineSplitter m_splitter;
    int m_startRow = 1;
    EncodingSetting m_encoding = EncodingSetting::Auto;
    std::string m_codePage;
    bool m_codePageKeepsAscii = true;
    LineHook m_hook;
    std::size_t m_hookEvery = 256;
};

} // namespace ostrel
