#include "engine/RunLines.h"

#include "engine/ImportSources.h"
#include "engine/PluRecord.h"

#include <algorithm>
#include <cstring>

namespace ostrel {

static_assert(kRecordBytes == kPluRecordSize);

RunLines::RunLines() = default;

RunLines::RunLines(const DataFileReader& reader, std::vector<IndexedFile> files,
                   FileLineNumbers fileLines, int fileType, int decimals,
                   const RunLineSources& sources)
    : m_reader(reader), m_files(std::move(files)), m_fileLines(std::move(fileLines)),
      m_fileType(fileType), m_decimals(decimals),
      m_sources(std::make_unique<ImportSources>(
          ImportSourcePaths{sources.pluIdIni, sources.rulesFile, sources.runSettingsFile}))
{
    m_reader->setLineHook({});
    for (const IndexedFile& file : m_files) {
        m_size += file.size();
        m_fileEnds.push_back(m_size);
    }
}

RunLines::~RunLines() = default;
RunLines::RunLines(RunLines&&) noexcept = default;
RunLines& RunLines::operator=(RunLines&&) noexcept = default;

void RunLines::overrideLayout(std::optional<std::vector<int>> columns,
                              std::optional<bool> itemIsPlu)
{
    if (m_sources) {
        m_sources->overrideLayout(std::move(columns), itemIsPlu);
    }
}

int RunLines::parse(std::size_t index, RecordBytes& record)
{
    record.fill(0);
    if (index >= m_size || !m_sources || !m_reader) {
        return 0;
    }
    const auto file = static_cast<std::size_t>(
        std::upper_bound(m_fileEnds.begin(), m_fileEnds.end(), index) - m_fileEnds.begin());
    const std::size_t begin = file == 0 ? 0 : m_fileEnds[file - 1];
    if (!m_reader->lineColumns(m_files[file], index - begin, m_columns)) {
        return 0;
    }
    PluRecord parsed;
    PartialRead partial;
    int action = 0;
    if (m_fileType == kSeparatedType) {
        action =
            ParseSeparatedLine(kPluDataKind, parsed, m_columns, *m_sources, m_decimals, &partial);
    } else if (m_fileType == kFixedType) {
        action = ParseFixedLine(kPluDataKind, parsed, m_columns, *m_sources, m_decimals, &partial);
    }
    if (action >= 1) {
        std::memcpy(record.data(), parsed.bytes.data(), kRecordBytes);
        if (partial.field != 0) {
            m_partialReads.try_emplace(index, std::move(partial));
        }
    }
    return action;
}

} // namespace ostrel
