// The separated type's preview: the first line of a sample file that is not a comment line,
// and the values it splits into. The file's encoding is decided from all its bytes as the run
// decides it, and the line of a UTF-8 file is converted to the code page. The scanner reads in
// slices so that a window can keep answering input between them, whatever the size of the
// sample.
#pragma once

#include "platform/TextEncoding.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

class PreviewLineScanner final
{
public:
    // A preview line keeps at most this many bytes: no data line is that long, and a sample
    // that is one endless line must not fill the memory. The rest of the line is skipped.
    static constexpr std::size_t kLineMax = std::size_t{1024} * 1024;

    // A line counts as a comment when it begins with `commentMarker`; an empty marker makes
    // every line a comment. A UTF-8 mark at the start of a line goes before that test.
    PreviewLineScanner(const std::string& path, std::string commentMarker, std::string codePage,
                       EncodingSetting encoding = EncodingSetting::Auto);

    // False when the file does not exist or cannot be opened.
    bool opened() const { return m_file != nullptr; }
    // Reads up to `budget` more bytes; true once the preview line and the file's encoding are
    // known (also at once when the file could not be opened). After the line only an undecided
    // encoding reads on, up to the end of the file unless the bytes settle it earlier.
    bool advance(std::size_t budget);
    bool finished() const { return m_finished; }
    // The first line that is not a comment, line end removed; "" when the file ended first.
    // At most kLineMax bytes. Converted to the code page in a UTF-8 file ("" when it is not
    // UTF-8).
    const std::string& line() const { return m_line; }
    const EncodingDecision& encoding() const { return m_decision; }
    std::uint64_t bytesRead() const { return m_bytesRead; }

    // The whole scan at once, for callers with small files and for tests.
    static std::string previewLineOf(const std::string& path, std::string commentMarker,
                                     std::string codePage,
                                     EncodingSetting encoding = EncodingSetting::Auto);

private:
    struct FileCloser
    {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    // True when the line just completed is the preview line.
    bool lineComplete();
    void appendToLine(std::string_view bytes);
    void finish();

    std::unique_ptr<std::FILE, FileCloser> m_file;
    std::string m_marker;
    std::string m_codePage;
    std::string m_line;
    std::vector<char> m_buffer;
    std::uint64_t m_bytesRead = 0;
    EncodingSetting m_setting = EncodingSetting::Auto;
    EncodingDetector m_detector;
    EncodingDecision m_decision;
    bool m_lineFound = false;
    bool m_finished = false;
};

// The preview values of a line: every occurrence of the separator written twice becomes
// separator, blank, separator (so one empty column keeps its place); blanks at both ends go;
// the line splits at every character of the separator, runs of them counting once and empty
// pieces skipped; each value loses its blanks at both ends.
std::vector<std::string> splitPreviewValues(std::string_view line, std::string_view separator);

} // namespace ostrel
