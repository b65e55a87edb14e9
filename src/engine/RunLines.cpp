#include "engine/RunLines.h"

#include "engine/ImportSources.h"
#include "engine/PluRecord.h"

#include <cstring>

namespace ostrel {

static_assert(kRecordBytes == kPluRecordSize);

RunLines::RunLines() = default;

RunLines::RunLines(LineTable lines, FileLineNumbers fileLines, int fileType, int decimals,
                   const RunLineSources& sources)
    : m_lines(std::move(lines)), m_fileLines(std::move(fileLines)), m_fileType(fileType),
      m_decimals(decimals), m_sources(std::make_unique<ImportSources>(ImportSourcePaths{
                                sources.pluIdIni, sources.rulesFile, sources.runSettingsFile}))
{
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
    if (index >= m_lines.size() || !m_sources) {
        return 0;
    }
    PluRecord parsed;
    PartialRead partial;
    int action = 0;
    if (m_fileType == kSeparatedType) {
        action = ParseSeparatedLine(kPluDataKind, parsed, m_lines[index], *m_sources, m_decimals,
                                    &partial);
    } else if (m_fileType == kFixedType) {
        action =
            ParseFixedLine(kPluDataKind, parsed, m_lines[index], *m_sources, m_decimals, &partial);
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
