// The fixed-type designer's sample: the lines of a data file as they are (no code page
// conversion, no byte-order-mark handling). CR and LF both end a line; a run of them ends one
// line only, except that a line end at the very start gives an empty first line; a last line
// without a line end counts. Read in slices so that a window keeps answering input, and only
// as far as the start row list can reach.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

class FixedSampleReader final
{
public:
    // The start row list reaches line 500; later lines are never shown.
    static constexpr std::size_t kMaxLines = 500;
    // A shown line keeps at most this many bytes, so a sample that is one endless line cannot
    // fill the memory; the rest of such a line is skipped.
    static constexpr std::size_t kLineMax = std::size_t{64} * 1024;

    explicit FixedSampleReader(const std::string& path);

    // False when the file does not exist or cannot be opened.
    bool opened() const { return m_file != nullptr; }
    // Reads up to `budget` more bytes; true once the lines are complete (also at once when the
    // file could not be opened).
    bool advance(std::size_t budget);
    const std::vector<std::string>& lines() const { return m_lines; }

    // The line rules over bytes already in memory.
    static std::vector<std::string> splitLines(std::string_view bytes);
    // The whole read at once, for small files and tests; empty when it cannot be opened.
    static std::vector<std::string> readLines(const std::string& path);

private:
    struct FileCloser
    {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    // True when the line limit is reached.
    bool feed(std::string_view bytes);
    void endLine();

    std::unique_ptr<std::FILE, FileCloser> m_file;
    std::vector<std::string> m_lines;
    std::string m_line;
    std::vector<char> m_buffer;
    bool m_atStart = true;
    bool m_inLineEnds = false;
    bool m_finished = false;
};

// The sample line that start row `startRowText` shows: its decimal value N, 1-based, with 0
// (or less) giving line 1 and a value beyond the last line giving the last line. 0 when there
// are no lines (nothing to show).
std::size_t sampleLineIndexForStartRow(std::string_view startRowText, std::size_t lineCount);

} // namespace ostrel
