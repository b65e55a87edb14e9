// The fixed-type designer's sample: the lines of a data file as the run splits them. CR and LF
// both end a line; a run of them ends one line only, except that a line end at the very start
// gives an empty first line; a last line without a line end counts. The file's encoding is
// decided from all its bytes as the run decides it; the lines of a UTF-8 file are converted to
// the code page, so a marked column is the column the run cuts. Read in slices so that a
// window keeps answering input; lines only as far as the start row list can reach.
#pragma once

#include "platform/TextEncoding.h"

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

    explicit FixedSampleReader(const std::string& path,
                               EncodingSetting encoding = EncodingSetting::Auto,
                               std::string codePage = "CP1252");

    // False when the file does not exist or cannot be opened.
    bool opened() const { return m_file != nullptr; }
    // Reads up to `budget` more bytes; true once the lines and the encoding are known (also at
    // once when the file could not be opened). Past the last shown line only the encoding is
    // still looked for, up to the end of the file unless the bytes settle it earlier.
    bool advance(std::size_t budget);
    // The lines, converted once the encoding is known.
    const std::vector<std::string>& lines() const { return m_lines; }
    const EncodingDecision& encoding() const { return m_decision; }

    // The line rules over bytes already in memory, the bytes as they are.
    static std::vector<std::string> splitLines(std::string_view bytes);
    // The whole read at once, for small files and tests; empty when it cannot be opened.
    static std::vector<std::string> readLines(const std::string& path,
                                              EncodingSetting encoding = EncodingSetting::Auto,
                                              const std::string& codePage = "CP1252");

private:
    struct FileCloser
    {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    // True when the line limit is reached.
    bool feed(std::string_view bytes);
    void endLine();
    void finish();

    std::unique_ptr<std::FILE, FileCloser> m_file;
    std::vector<std::string> m_lines;
    std::string m_line;
    std::vector<char> m_buffer;
    EncodingSetting m_setting = EncodingSetting::Auto;
    std::string m_codePage;
    EncodingDetector m_detector;
    EncodingDecision m_decision;
    bool m_atStart = true;
    bool m_inLineEnds = false;
    bool m_linesComplete = false;
    bool m_finished = false;
};

// The sample line that start row `startRowText` shows: its decimal value N, 1-based, with 0
// (or less) giving line 1 and a value beyond the last line giving the last line. 0 when there
// are no lines (nothing to show).
std::size_t sampleLineIndexForStartRow(std::string_view startRowText, std::size_t lineCount);

} // namespace ostrel
