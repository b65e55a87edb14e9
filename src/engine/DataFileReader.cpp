#include "engine/DataFileReader.h"

#include "engine/FileIdentity.h"
#include "engine/ReadingWarnings.h"
#include "platform/CodePage.h"
#include "platform/IniFile.h"
#include "platform/Trace.h"

#include <algorithm>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrel {

namespace {

class FileDescriptor final
{
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// The whole file and the stamp taken before reading it, so a later write shows as a change.
std::optional<std::string> readFileWithStamp(const std::string& path, FileStamp& stamp)
{
    // Non-blocking: a FIFO put in place of the file after discovery must not hang the run.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0) {
        return std::nullopt;
    }
    struct stat info
    {
    };
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    stamp.size = info.st_size;
    stamp.mtimeNs = std::int64_t{info.st_mtim.tv_sec} * 1'000'000'000 + info.st_mtim.tv_nsec;
    stamp.device = info.st_dev;
    stamp.inode = info.st_ino;

    std::string bytes;
    bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            bytes.resize(bytes.size() + 65536); // the file may grow while we read
        }
        const ssize_t got = ::read(fd.get(), bytes.data() + filled, bytes.size() - filled);
        if (got < 0) {
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    return bytes;
}

} // namespace

void FileLineNumbers::append(std::size_t index, std::uint32_t fileLine)
{
    if (!m_runs.empty() && index == m_end &&
        fileLine == m_runs.back().fileLine + (index - m_runs.back().first)) {
        ++m_end;
        return;
    }
    m_runs.push_back({index, fileLine});
    m_end = index + 1;
}

void FileLineNumbers::appendAll(const FileLineNumbers& other, std::size_t offset)
{
    for (std::size_t i = 0; i < other.m_runs.size(); ++i) {
        const Run& run = other.m_runs[i];
        const std::size_t end =
            i + 1 < other.m_runs.size() ? other.m_runs[i + 1].first : other.m_end;
        append(offset + run.first, run.fileLine);
        m_end = offset + end;
    }
}

int FileLineNumbers::at(std::size_t index) const
{
    if (index >= m_end) {
        return 0;
    }
    auto after =
        std::upper_bound(m_runs.begin(), m_runs.end(), index,
                         [](std::size_t value, const Run& run) { return value < run.first; });
    if (after == m_runs.begin()) {
        return 0;
    }
    --after;
    return static_cast<int>(after->fileLine + (index - after->first));
}

int readStartRow(const std::string& tarvikIniPath)
{
    return readProfileInt("SEPA_STARTROW", "Start Row", 1, tarvikIniPath);
}

DataFileReader::DataFileReader(LineSplitter splitter, int startRow)
    : m_splitter(std::move(splitter)), m_startRow(startRow)
{
    setCodePage(activeCodePage());
}

void DataFileReader::setCodePage(std::string codePage)
{
    m_codePage = std::move(codePage);
    m_codePageKeepsAscii = codePageKeepsAscii(m_codePage);
}

void DataFileReader::setLineHook(LineHook hook, std::size_t everyLines)
{
    m_hook = std::move(hook);
    m_hookEvery = everyLines == 0 ? 1 : everyLines;
}

std::string_view DataFileReader::StripUtf8Bom(std::string_view line, std::string& storage,
                                              std::size_t& unmapped) const
{
    // Files joined from several exports may carry a mark on any line: it is never data.
    if (line.starts_with(kUtf8Mark)) {
        line.remove_prefix(kUtf8Mark.size());
    }
    // Most lines are ASCII; they need no converter where the code page keeps ASCII.
    if (m_codePageKeepsAscii && isAscii(line)) {
        return line;
    }
    storage = utf8ToCodePage(line, m_codePage, unmapped);
    return storage;
}

int DataFileReader::ReadDataFile(const std::string& path, LineTable& table,
                                 std::optional<FileStamp>* readStamp)
{
    const FileReadResult result = readFile(path, table);
    if (!result.opened) {
        return 0;
    }
    if (readStamp != nullptr) {
        *readStamp = result.stamp;
    }
    return result.endedByComment ? 0 : static_cast<int>(table.size());
}

FileReadResult DataFileReader::readFile(const std::string& path, LineTable& table)
{
    FileReadResult result;
    if (path.empty()) {
        return result;
    }
    auto bytes = readFileWithStamp(path, result.stamp);
    if (!bytes) {
        bytes = readFileWithStamp(resolvePath(path), result.stamp);
    }
    if (!bytes) {
        trace("cannot read the data file " + path + "; it is left for a later run");
        return result;
    }
    result.opened = true;
    result.contentHash = contentHash(*bytes);

    std::string_view text = *bytes;
    result.encoding = EncodingDetector::decide(text, m_encoding);
    result.codePage = m_codePage;
    if (result.encoding.marked) {
        text.remove_prefix(kUtf8Mark.size());
    }
    trace(path + ": read as " + result.encoding.describe(m_codePage));
    std::size_t lineNumber = 0;
    std::size_t lastColumnCount = 8;
    std::size_t pos = 0;
    const auto skip = [&](std::string_view why) {
        ++result.linesSkipped;
        constexpr std::size_t kReasonsKept = 100;
        if (result.skippedLines.size() < kReasonsKept) {
            result.skippedLines.emplace_back(static_cast<int>(lineNumber), std::string(why));
        }
        trace(path + " line " + std::to_string(lineNumber) + " skipped: " + std::string(why));
    };
    while (pos < text.size()) {
        auto newline = text.find('\n', pos);
        const bool lastLine = newline == std::string_view::npos;
        if (lastLine) {
            newline = text.size();
        }
        std::string_view line = text.substr(pos, newline - pos);
        pos = newline + 1;
        // Text mode: CR LF ends a line like LF.
        if (!lastLine && line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        ++lineNumber;
        if (m_hook && lineNumber % m_hookEvery == 0 && !m_hook()) {
            result.opened = false;
            return result;
        }
        if (lineNumber < static_cast<std::size_t>(std::max(m_startRow, 1))) {
            continue;
        }
        if (line.empty()) {
            continue;
        }
        // A zero byte would cut the line short and store a wrong value.
        if (line.find('\0') != std::string_view::npos) {
            skip("it holds a zero byte");
            continue;
        }
        std::string converted;
        std::string_view toSplit = line;
        if (result.encoding.utf8()) {
            const std::size_t unmappedBefore = result.unmappedCharacters;
            toSplit = StripUtf8Bom(line, converted, result.unmappedCharacters);
            if (toSplit.empty()) {
                if (line != kUtf8Mark) {
                    skip("it is not valid UTF-8");
                }
                continue;
            }
            if (result.unmappedCharacters > unmappedBefore && result.firstUnmappedLine == 0) {
                result.firstUnmappedLine = static_cast<int>(lineNumber);
            }
        }
        if (m_splitter.startsWithComment(toSplit)) {
            result.endedByComment = true;
            break;
        }
        ColumnList columns;
        columns.reserve(lastColumnCount);
        if (m_splitter.SplitLine(toSplit, columns) <= 0) {
            skip("it yields no column");
            continue;
        }
        lastColumnCount = columns.size();
        table.push_back(std::move(columns));
        result.lineNumbers.append(static_cast<std::size_t>(result.linesAppended),
                                  static_cast<std::uint32_t>(lineNumber));
        ++result.linesAppended;
    }
    if (result.unmappedCharacters > 0) {
        trace(path + ": " +
              unmappedText(result.unmappedCharacters, m_codePage, result.firstUnmappedLine));
    }
    return result;
}

} // namespace ostrel
