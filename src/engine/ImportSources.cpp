#include "engine/ImportSources.h"

#include "platform/IniFile.h"
#include "platform/Numbers.h"

#include <cstdio>

namespace ostrel {

namespace {

// The parse reads these values into 128-byte buffers.
constexpr std::size_t kPluIdCapacity = 128;
constexpr std::size_t kItemIsPluCapacity = 10;

std::string_view cut(std::string_view value, std::size_t capacity)
{
    return value.substr(0, std::min(value.size(), capacity - 1));
}

} // namespace

std::vector<int> parsePluIdColumns(std::string_view iniBytes)
{
    const IniDocument ini = IniDocument::parse(iniBytes);
    std::vector<int> fields;
    for (int n = 1;; ++n) {
        char key[16];
        std::snprintf(key, sizeof key, "ID%02d", n);
        const auto value = ini.value("PLU ID", key);
        if (!value || value->empty()) {
            break;
        }
        fields.push_back(atoiText(cut(*value, kPluIdCapacity)));
    }
    return fields;
}

ImportSources::ImportSources(const ImportSourcePaths& paths)
    : m_watch({paths.pluIdIni, paths.rulesFile, paths.runSettingsIni}),
      m_columns(paths.pluIdIni,
                [](std::optional<std::string_view> bytes) {
                    return bytes ? parsePluIdColumns(*bytes) : std::vector<int>();
                }),
      m_itemIsPlu(paths.runSettingsIni,
                  [](std::optional<std::string_view> bytes) {
                      if (!bytes) {
                          return false;
                      }
                      const auto value = IniDocument::parse(*bytes).value("SEPARATE", "ItemIsPLU");
                      return value && cut(*value, kItemIsPluCapacity) == "1";
                  }),
      m_rules(paths.rulesFile)
{
}

SeparatedParseInputs ImportSources::separatedInputs(int decimalPoint)
{
    const CacheCheck recheck = nextCheck();
    SeparatedParseInputs inputs;
    inputs.itemIsPlu = m_itemIsPluOverride ? *m_itemIsPluOverride : m_itemIsPlu.current(recheck);
    inputs.rules = &m_rules.LoadReplaceRules(recheck);
    if (m_columnsOverride) {
        inputs.columnFields = *m_columnsOverride;
    } else {
        inputs.columnFields = m_columns.current(recheck);
    }
    inputs.decimalPoint = decimalPoint;
    return inputs;
}

void ImportSources::overrideLayout(std::optional<std::vector<int>> columns,
                                   std::optional<bool> itemIsPlu)
{
    m_columnsOverride = std::move(columns);
    m_itemIsPluOverride = itemIsPlu;
}

const ReplaceRuleTable& ImportSources::LoadReplaceRules()
{
    return m_rules.LoadReplaceRules(nextCheck());
}

CacheCheck ImportSources::nextCheck()
{
    // With the kernel watching, its word decides; without, the files' stamps do.
    const bool exact = m_watch.watching();
    const bool changed = m_watch.mayHaveChanged();
    if (!exact) {
        return CacheCheck::CompareStamp;
    }
    return changed ? CacheCheck::Reload : CacheCheck::Trust;
}

int ParseSeparatedLine(int dataKind, PluRecord& record, const ColumnList& columns,
                       ImportSources& sources, int decimalPoint, PartialRead* partial)
{
    if (dataKind < 1) {
        return kActionRecord;
    }
    return ParseSeparatedLine(dataKind, record, columns, sources.separatedInputs(decimalPoint),
                              partial);
}

int ParseFixedLine(int dataKind, PluRecord& record, const ColumnList& columns,
                   ImportSources& sources, int decimalPoint, PartialRead* partial)
{
    if (dataKind < 1) {
        return kActionRecord;
    }
    return ParseFixedLine(dataKind, record, columns, sources.LoadReplaceRules(), decimalPoint,
                          partial);
}

} // namespace ostrel
