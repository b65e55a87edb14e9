#include "format/FixedSample.h"

#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/Numbers.h"

#include <algorithm>

namespace ostrel {

namespace {

constexpr std::size_t kChunk = std::size_t{64} * 1024;

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

} // namespace

FixedSampleReader::FixedSampleReader(const std::string& path, EncodingSetting encoding,
                                     std::string codePage)
    : m_setting(encoding), m_codePage(std::move(codePage))
{
    if (!path.empty()) {
        m_file.reset(std::fopen(resolvePath(path).c_str(), "rb"));
    }
    m_finished = m_file == nullptr;
}

void FixedSampleReader::endLine()
{
    m_lines.push_back(std::move(m_line));
    m_line.clear();
}

bool FixedSampleReader::feed(std::string_view bytes)
{
    for (const char c : bytes) {
        if (isLineEnd(c)) {
            // The first end of a run closes the line; a file that starts with one has an empty
            // first line.
            if (!m_inLineEnds || m_atStart) {
                endLine();
                if (m_lines.size() >= kMaxLines) {
                    return true;
                }
            }
            m_inLineEnds = true;
        } else {
            m_inLineEnds = false;
            if (m_line.size() < kLineMax) {
                m_line.push_back(c);
            }
        }
        m_atStart = false;
    }
    return false;
}

bool FixedSampleReader::advance(std::size_t budget)
{
    if (m_finished) {
        return true;
    }
    std::vector<char>& buffer = m_buffer;
    buffer.resize(std::min(std::max<std::size_t>(budget, 1), kChunk));
    std::size_t left = budget;
    while (left > 0) {
        const std::size_t got =
            std::fread(buffer.data(), 1, std::min(left, buffer.size()), m_file.get());
        if (got == 0) {
            if (!m_linesComplete && !m_inLineEnds && !m_atStart) {
                endLine(); // the last line without a line end
            }
            finish();
            break;
        }
        left -= got;
        const std::string_view bytes(buffer.data(), got);
        m_detector.feed(bytes);
        if (!m_linesComplete && feed(bytes)) {
            m_linesComplete = true;
        }
        // Beyond the shown lines only an undecided encoding needs more bytes.
        if (m_linesComplete && (m_setting != EncodingSetting::Auto || m_detector.settled())) {
            finish();
            break;
        }
    }
    return m_finished;
}

void FixedSampleReader::finish()
{
    m_finished = true;
    m_linesComplete = true;
    m_file.reset();
    m_decision = m_detector.decide(m_setting);
    if (m_decision.marked && !m_lines.empty()) {
        m_lines.front().erase(0, std::min(m_lines.front().size(), kUtf8Mark.size()));
    }
    if (!m_decision.utf8()) {
        return;
    }
    for (std::string& line : m_lines) {
        std::string_view text = line;
        if (text.starts_with(kUtf8Mark)) {
            text.remove_prefix(kUtf8Mark.size());
        }
        // A line that is no UTF-8 stays as it is: the run passes it over, the box still shows
        // where it stands.
        if (std::string converted = utf8ToCodePage(text, m_codePage);
            !converted.empty() || text.empty()) {
            line = std::move(converted);
        }
    }
}

std::vector<std::string> FixedSampleReader::splitLines(std::string_view bytes)
{
    FixedSampleReader reader("");
    reader.m_finished = false;
    if (!reader.feed(bytes) && !reader.m_inLineEnds && !reader.m_atStart) {
        reader.endLine();
    }
    return std::move(reader.m_lines);
}

std::vector<std::string> FixedSampleReader::readLines(const std::string& path,
                                                      EncodingSetting encoding,
                                                      const std::string& codePage)
{
    FixedSampleReader reader(path, encoding, codePage);
    while (!reader.advance(kChunk)) {
    }
    return std::move(reader.m_lines);
}

std::size_t sampleLineIndexForStartRow(std::string_view startRowText, std::size_t lineCount)
{
    if (lineCount == 0) {
        return 0;
    }
    const int row = atoiText(startRowText);
    if (row <= 1) {
        return 0;
    }
    return std::min(static_cast<std::size_t>(row), lineCount) - 1;
}

} // namespace ostrel
