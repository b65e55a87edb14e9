#include "engine/DataFileReader.h"

#include "engine/FileIdentity.h"
#include "engine/LineIndex.h"
#include "engine/ReadingWarnings.h"
#include "platform/CodePage.h"
#include "platform/IniFile.h"
#include "platform/Trace.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrel {

namespace {

constexpr std::size_t kChunk = std::size_t{1} << 20;

std::int64_t mtimeNsOf(const struct stat& info)
{
    return std::int64_t{info.st_mtim.tv_sec} * 1'000'000'000 + info.st_mtim.tv_nsec;
}

// 32-bit FNV-1a: tells a line rewritten under the run from the one indexed.
std::uint32_t lineCheck(std::string_view bytes)
{
    std::uint32_t hash = 2166136261U;
    for (const char byte : bytes) {
        hash ^= static_cast<std::uint8_t>(byte);
        hash *= 16777619U;
    }
    return hash;
}

// Opens the file for reading and takes its stamp, so a later write shows as a change.
FileDescriptor openWithStamp(const std::string& path, FileStamp& stamp)
{
    // Non-blocking: a FIFO put in place of the file after discovery must not hang the run.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat info
    {
    };
    if (!fd.valid() || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return {};
    }
    stamp.size = info.st_size;
    stamp.mtimeNs = mtimeNsOf(info);
    stamp.device = info.st_dev;
    stamp.inode = info.st_ino;
    return fd;
}

// Reads the whole file from its start in chunks; false on a read error.
template <class Use> bool forEachChunk(int fd, Use&& use)
{
    std::string chunk(kChunk, '\0');
    std::uint64_t offset = 0;
    for (;;) {
        const ssize_t got = ::pread(fd, chunk.data(), chunk.size(), static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return false;
        }
        if (got == 0) {
            return true;
        }
        use(std::string_view(chunk.data(), static_cast<std::size_t>(got)), offset);
        offset += static_cast<std::uint64_t>(got);
    }
}

} // namespace

struct IndexedFile::Data
{
    FileDescriptor fd;
    bool utf8 = false;
    LineIndex index;
};

IndexedFile::IndexedFile() : m_data(std::make_shared<Data>()) {}

std::size_t IndexedFile::size() const
{
    return m_data->index.size();
}

bool IndexedFile::utf8() const
{
    return m_data->utf8;
}

bool IndexedFile::readLine(std::size_t index, std::string& bytes) const
{
    if (index >= m_data->index.size()) {
        return false;
    }
    const LineIndex::Entry& entry = m_data->index[index];
    bytes.resize(entry.length);
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = ::pread(m_data->fd.get(), bytes.data() + filled, bytes.size() - filled,
                                    static_cast<off_t>(entry.offset + filled));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false; // cut short since it was read: the run keeps the file, not its lines
        }
        filled += static_cast<std::size_t>(got);
    }
    // Rewritten in place since it was indexed: not the line that was planned. (An append, as
    // a back office may do while a run sends, leaves every indexed line as it was.)
    return lineCheck(bytes) == entry.check;
}

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
    FileDescriptor fd;
    return walk(path, fd, [&table](std::string_view, std::uint64_t, ColumnList& columns) {
        table.push_back(std::move(columns));
    });
}

FileReadResult DataFileReader::indexFile(const std::string& path, IndexedFile& file)
{
    auto data = std::make_shared<IndexedFile::Data>();
    FileReadResult result =
        walk(path, data->fd, [&data](std::string_view line, std::uint64_t offset, ColumnList&) {
            data->index.append({offset, static_cast<std::uint32_t>(line.size()), lineCheck(line)});
        });
    data->utf8 = result.encoding.utf8();
    data->index.finish();
    file.m_data = std::move(data);
    return result;
}

bool DataFileReader::lineColumns(const IndexedFile& file, std::size_t index,
                                 ColumnList& columns) const
{
    thread_local std::string bytes;
    thread_local std::string converted;
    columns.clear();
    if (!file.readLine(index, bytes)) {
        return false;
    }
    std::string_view line = bytes;
    if (file.utf8()) {
        std::size_t unmapped = 0; // counted when the file was read
        line = StripUtf8Bom(line, converted, unmapped);
    }
    return m_splitter.SplitLine(line, columns) > 0;
}

FileReadResult DataFileReader::walk(const std::string& path, FileDescriptor& fd,
                                    const LineSink& sink)
{
    FileReadResult result;
    if (path.empty()) {
        return result;
    }
    fd = openWithStamp(path, result.stamp);
    if (!fd.valid()) {
        fd = openWithStamp(resolvePath(path), result.stamp);
    }
    // The whole file decides its encoding, and its hash names it: one pass before the lines.
    std::uint64_t hash = 0;
    EncodingDetector detector;
    ContentHasher hasher;
    if (!fd.valid() || !forEachChunk(fd.get(), [&](std::string_view chunk, std::uint64_t) {
            hasher.feed(chunk);
            detector.feed(chunk);
        })) {
        trace("cannot read the data file " + path + "; it is left for a later run");
        fd = FileDescriptor();
        return result;
    }
    hash = hasher.value();
    result.opened = true;
    result.contentHash = hash;
    result.encoding = detector.decide(m_encoding);
    result.codePage = m_codePage;
    trace(path + ": read as " + result.encoding.describe(m_codePage));

    std::size_t lineNumber = 0;
    std::size_t lastColumnCount = 8;
    const auto skip = [&](std::string_view why) {
        ++result.linesSkipped;
        constexpr std::size_t kReasonsKept = 100;
        if (result.skippedLines.size() < kReasonsKept) {
            result.skippedLines.emplace_back(static_cast<int>(lineNumber), std::string(why));
        }
        trace(path + " line " + std::to_string(lineNumber) + " skipped: " + std::string(why));
    };
    bool stop = false; // a comment line ended the data, or the hook asked to stop
    // One line: its bytes without the line end, and where they start in the file.
    const auto takeLine = [&](std::string_view line, std::uint64_t offset, bool lastLine) {
        // Text mode: CR LF ends a line like LF.
        if (!lastLine && line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        ++lineNumber;
        if (m_hook && lineNumber % m_hookEvery == 0 && !m_hook()) {
            result.opened = false;
            stop = true;
            return;
        }
        if (lineNumber < static_cast<std::size_t>(std::max(m_startRow, 1))) {
            return;
        }
        if (line.empty()) {
            return;
        }
        // A zero byte would cut the line short and store a wrong value.
        if (line.find('\0') != std::string_view::npos) {
            skip("it holds a zero byte");
            return;
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
                return;
            }
            if (result.unmappedCharacters > unmappedBefore && result.firstUnmappedLine == 0) {
                result.firstUnmappedLine = static_cast<int>(lineNumber);
            }
        }
        if (m_splitter.startsWithComment(toSplit)) {
            result.endedByComment = true;
            stop = true;
            return;
        }
        ColumnList columns;
        columns.reserve(lastColumnCount);
        if (m_splitter.SplitLine(toSplit, columns) <= 0) {
            skip("it yields no column");
            return;
        }
        lastColumnCount = columns.size();
        sink(line, offset, columns);
        result.lineNumbers.append(static_cast<std::size_t>(result.linesAppended),
                                  static_cast<std::uint32_t>(lineNumber));
        ++result.linesAppended;
    };
    // The lines, chunk by chunk; a line across chunks is put together in `carry`.
    std::string carry;
    std::uint64_t carryOffset = 0;
    bool atStart = true;
    const bool readAll = forEachChunk(fd.get(), [&](std::string_view chunk, std::uint64_t at) {
        if (atStart) {
            atStart = false;
            if (result.encoding.marked && chunk.starts_with(kUtf8Mark)) {
                chunk.remove_prefix(kUtf8Mark.size());
                at += kUtf8Mark.size();
            }
        }
        std::size_t pos = 0;
        while (!stop && pos < chunk.size()) {
            const auto newline = chunk.find('\n', pos);
            if (newline == std::string_view::npos) {
                if (carry.empty()) {
                    carryOffset = at + pos;
                }
                carry.append(chunk.substr(pos));
                return;
            }
            if (carry.empty()) {
                takeLine(chunk.substr(pos, newline - pos), at + pos, false);
            } else {
                carry.append(chunk.substr(pos, newline - pos));
                takeLine(carry, carryOffset, false);
                carry.clear();
            }
            pos = newline + 1;
        }
    });
    if (readAll && !stop && !carry.empty()) {
        takeLine(carry, carryOffset, true);
    }
    if (!readAll) {
        trace("cannot read the data file " + path + " to its end; it is left for a later run");
        result.opened = false;
    }
    if (result.unmappedCharacters > 0) {
        trace(path + ": " +
              unmappedText(result.unmappedCharacters, m_codePage, result.firstUnmappedLine));
    }
    return result;
}

} // namespace ostrel
