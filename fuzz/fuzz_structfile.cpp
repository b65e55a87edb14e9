// Feeds arbitrary bytes to the structure-list parser (plustruct.str) and the field list.
#include "format/StructFile.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto entries = ostrel::parseStructText(bytes);
    if (entries.size() > ostrel::kMaxStructEntries) {
        __builtin_trap();
    }
    for (const auto& entry : entries) {
        if (entry.name.size() > ostrel::kStructNameMax || entry.fieldNumber < 0 ||
            entry.fieldNumber > 0x7FFF) {
            __builtin_trap();
        }
    }
    const auto fields = ostrel::buildPluFieldList(entries);
    if (fields.size() > ostrel::kMaxPluFields) {
        __builtin_trap();
    }
    for (const auto& field : fields) {
        if (field.number < 1 || field.number > ostrel::kMaxPluFieldNumber) {
            __builtin_trap();
        }
    }
    (void)ostrel::parseStructLine(bytes);
    return 0;
}
