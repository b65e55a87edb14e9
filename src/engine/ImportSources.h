// The settings files a line parse consults — PluID.ini, the rules file and "ItemIsPLU" of the
// run's settings file — kept as parsed copies that are refreshed when a file changes, so an
// edit made during a run applies from the next line on.
#pragma once

#include "engine/ChangeWatch.h"
#include "engine/FileBackedCache.h"
#include "engine/LineParsers.h"
#include "engine/ReplaceRules.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// The field numbers of [PLU ID] "ID01", "ID02", ... up to the first absent or empty key.
std::vector<int> parsePluIdColumns(std::string_view iniBytes);

struct ImportSourcePaths
{
    std::string pluIdIni;       // documents + /VEK/Ostrel/Config/PluID.ini
    std::string rulesFile;      // documents + /VEK/Ostrel/Config/plumatch.mch
    std::string runSettingsIni; // the file named by [PATH] "CONFIG ROOT"
};

class ImportSources final
{
public:
    explicit ImportSources(const ImportSourcePaths& paths);

    // A layout not saved yet (the PLU file setting window's preview): these columns and this
    // "ItemIsPLU" in place of the files'.
    void overrideLayout(std::optional<std::vector<int>> columns, std::optional<bool> itemIsPlu);

    // Inputs for the next separated line; valid until the next call.
    SeparatedParseInputs separatedInputs(int decimalPoint);
    const ReplaceRuleTable& LoadReplaceRules();

private:
    CacheCheck nextCheck();

    template <class T>
    using Cache = FileBackedCache<T, std::function<T(std::optional<std::string_view>)>>;

    ChangeWatch m_watch;
    Cache<std::vector<int>> m_columns;
    Cache<bool> m_itemIsPlu;
    ReplaceRuleSource m_rules;
    std::optional<std::vector<int>> m_columnsOverride;
    std::optional<bool> m_itemIsPluOverride;
};

// The run's entry points: refresh the sources, then parse.
int ParseSeparatedLine(int dataKind, PluRecord& record, const ColumnList& columns,
                       ImportSources& sources, int decimalPoint, PartialRead* partial = nullptr);
int ParseFixedLine(int dataKind, PluRecord& record, const ColumnList& columns,
                   ImportSources& sources, int decimalPoint, PartialRead* partial = nullptr);

} // namespace ostrel
