#include "format/FixedSample.h"

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

FixedSampleReader::FixedSampleReader(const std::string& path)
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
            if (!m_inLineEnds && !m_atStart) {
                endLine(); // the last line without a line end
            }
            m_finished = true;
            break;
        }
        left -= got;
        if (feed({buffer.data(), got})) {
            m_finished = true;
            break;
        }
    }
    if (m_finished) {
        m_file.reset();
    }
    return m_finished;
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

std::vector<std::string> FixedSampleReader::readLines(const std::string& path)
{
    FixedSampleReader reader(path);
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
