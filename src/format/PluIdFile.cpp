#include "format/PluIdFile.h"

#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/Numbers.h"
#include "settings/ProfileBatch.h"

#include <cstdio>

namespace ostrel {

namespace {

std::string cutToCapacity(std::string text, std::size_t capacity)
{
    if (capacity == 0) {
        return {};
    }
    if (text.size() > capacity - 1) {
        text.resize(capacity - 1);
    }
    return text;
}

std::vector<PluIdColumn> columnsOf(const IniDocument& ini, std::size_t capacity)
{
    std::vector<PluIdColumn> columns;
    for (int n = 1;; ++n) {
        auto id = ini.value(kPluIdSection, pluIdKey(n));
        std::string idText = id ? cutToCapacity(std::move(*id), capacity) : std::string();
        if (idText.empty()) {
            break;
        }
        const auto name = ini.value(kPluNameSection, pluNameKey(n));
        columns.push_back({std::move(idText), name ? cutToCapacity(*name, capacity) : ""});
    }
    return columns;
}

} // namespace

std::string pluIdKey(int column)
{
    char key[24];
    std::snprintf(key, sizeof key, "ID%02d", column);
    return key;
}

std::string pluNameKey(int column)
{
    char key[24];
    std::snprintf(key, sizeof key, "NAME%02d", column);
    return key;
}

int PluIdColumn::fieldNumber() const
{
    return atoiText(idText);
}

std::optional<std::vector<PluIdColumn>> readPluIdFile(const std::string& path, std::size_t capacity)
{
    const auto bytes = readWholeFile(resolvePath(path));
    if (!bytes) {
        return std::nullopt;
    }
    return columnsOf(IniDocument::parse(*bytes), capacity);
}

std::vector<std::string> pluIdFieldNumberTexts(std::string_view iniBytes, std::size_t capacity)
{
    std::vector<std::string> texts;
    for (auto& column : columnsOf(IniDocument::parse(iniBytes), capacity)) {
        texts.push_back(std::move(column.idText));
    }
    return texts;
}

std::vector<std::string> readPluIdFieldNumberTexts(const std::string& path, std::size_t capacity)
{
    const auto bytes = readWholeFile(resolvePath(path));
    return bytes ? pluIdFieldNumberTexts(*bytes, capacity) : std::vector<std::string>{};
}

bool writePluIdFile(const std::string& path, const std::vector<PluIdRow>& rows)
{
    ProfileBatchWriter ini(path);
    int n = 1;
    for (const auto& row : rows) {
        char id[24];
        std::snprintf(id, sizeof id, "%04d", row.fieldNumber);
        ini.write(kPluIdSection, pluIdKey(n), id);
        ini.write(kPluNameSection, pluNameKey(n), row.name);
        ++n;
    }
    return ini.commit();
}

} // namespace ostrel
