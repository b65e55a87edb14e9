#include "format/SeparatedPreview.h"

#include "platform/CodePage.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace ostrel {

namespace {

constexpr std::size_t kReadChunk = std::size_t{64} * 1024;
// Only the blank itself: with the Tab separator a leading tab is an empty first column.
constexpr std::string_view kBlanks = " ";

std::string_view trimBlanks(std::string_view text)
{
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

std::string_view withoutLineEnd(std::string_view line)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    return line;
}

} // namespace

PreviewLineScanner::PreviewLineScanner(const std::string& path, std::string commentMarker,
                                       std::string codePage, EncodingSetting encoding)
    : m_marker(std::move(commentMarker)), m_codePage(std::move(codePage)), m_setting(encoding)
{
    const std::string target = resolvePath(path);
    if (!path.empty() && fileExists(target)) {
        m_file.reset(std::fopen(target.c_str(), "rb"));
    }
    m_finished = m_file == nullptr;
    if (m_file) {
        m_buffer.resize(kReadChunk);
    }
}

bool PreviewLineScanner::lineComplete()
{
    if (m_line.compare(0, kUtf8Mark.size(), kUtf8Mark) == 0) {
        m_line.erase(0, kUtf8Mark.size());
    }
    if (m_line.compare(0, m_marker.size(), m_marker) == 0) {
        m_line.clear();
        return false;
    }
    m_line = std::string(withoutLineEnd(m_line));
    return true;
}

void PreviewLineScanner::appendToLine(std::string_view bytes)
{
    if (m_line.size() < kLineMax) {
        m_line.append(bytes.substr(0, kLineMax - m_line.size()));
    }
}

void PreviewLineScanner::finish()
{
    m_finished = true;
    m_file.reset();
    m_decision = m_detector.decide(m_setting);
    if (m_decision.utf8()) {
        m_line = utf8ToCodePage(m_line, m_codePage);
    }
}

bool PreviewLineScanner::advance(std::size_t budget)
{
    while (!m_finished && budget > 0) {
        const std::size_t wanted = std::min(budget, m_buffer.size());
        const std::size_t got = std::fread(m_buffer.data(), 1, wanted, m_file.get());
        if (got == 0) {
            // The last line counts without a line end; a file that ends after a comment line
            // (or is empty) previews nothing.
            if (!m_lineFound && !m_line.empty() && !lineComplete()) {
                m_line.clear();
            }
            finish();
            break;
        }
        budget -= got;
        m_bytesRead += got;
        std::string_view chunk(m_buffer.data(), got);
        m_detector.feed(chunk);
        while (!m_lineFound && !chunk.empty()) {
            const auto newline = chunk.find('\n');
            if (newline == std::string_view::npos) {
                appendToLine(chunk);
                break;
            }
            appendToLine(chunk.substr(0, newline + 1));
            chunk.remove_prefix(newline + 1);
            m_lineFound = lineComplete();
        }
        // After the line only an undecided encoding needs more bytes.
        if (m_lineFound && (m_setting != EncodingSetting::Auto || m_detector.settled())) {
            finish();
        }
    }
    return m_finished;
}

std::string PreviewLineScanner::previewLineOf(const std::string& path, std::string commentMarker,
                                              std::string codePage, EncodingSetting encoding)
{
    PreviewLineScanner scanner(path, std::move(commentMarker), std::move(codePage), encoding);
    while (!scanner.advance(kReadChunk)) {
    }
    return scanner.line();
}

std::vector<std::string> splitPreviewValues(std::string_view line, std::string_view separator)
{
    std::string spaced;
    if (separator.empty()) {
        spaced = line;
    } else {
        const std::string doubled = std::string(separator) + std::string(separator);
        const std::string kept = std::string(separator) + " " + std::string(separator);
        std::size_t from = 0;
        for (auto at = line.find(doubled); at != std::string_view::npos;
             at = line.find(doubled, from)) {
            spaced.append(line.substr(from, at - from));
            spaced += kept;
            from = at + doubled.size();
        }
        spaced.append(line.substr(from));
    }

    std::vector<std::string> values;
    const std::string_view text = trimBlanks(spaced);
    std::size_t pos = 0;
    while (pos < text.size()) {
        pos = text.find_first_not_of(separator, pos);
        if (pos == std::string_view::npos) {
            break;
        }
        const auto end = std::min(text.find_first_of(separator, pos), text.size());
        values.emplace_back(trimBlanks(text.substr(pos, end - pos)));
        pos = end;
    }
    return values;
}

} // namespace ostrel
