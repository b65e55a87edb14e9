#include "format/PrsFile.h"

#include "platform/FileSystem.h"

#include <algorithm>
#include <cstring>

namespace ostrel {

namespace {

constexpr std::size_t kNumberOffset = 0;
constexpr std::size_t kNameOffset = 4;
constexpr std::size_t kStartOffset = 104;
constexpr std::size_t kLengthOffset = 108;
constexpr std::size_t kDefinedOffset = 112;

std::int32_t readInt32(std::string_view bytes, std::size_t offset)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset + i]))
                 << (8 * i);
    }
    return static_cast<std::int32_t>(value);
}

void writeInt32(std::string& bytes, std::size_t offset, std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
    }
}

std::string readText(std::string_view bytes, std::size_t offset, std::size_t size)
{
    const std::string_view slot = bytes.substr(offset, size);
    return std::string(slot.substr(0, slot.find('\0')));
}

} // namespace

FixedFieldDef makeFixedFieldDef(std::int32_t fieldNumber, std::string name, std::int32_t start,
                                std::int32_t length)
{
    return {fieldNumber, std::move(name), start, length, (start >= 0 && length >= 1) ? 1 : 0};
}

std::vector<FixedFieldDef> parsePrsRecords(std::string_view bytes, std::size_t maxRecords)
{
    const std::size_t count = std::min(bytes.size() / kPrsRecordSize, maxRecords);
    std::vector<FixedFieldDef> defs;
    defs.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::string_view record = bytes.substr(i * kPrsRecordSize, kPrsRecordSize);
        FixedFieldDef def;
        def.fieldNumber = readInt32(record, kNumberOffset);
        def.name = readText(record, kNameOffset, kPrsNameSize);
        def.start = readInt32(record, kStartOffset);
        def.length = readInt32(record, kLengthOffset);
        def.defined = readInt32(record, kDefinedOffset);
        defs.push_back(std::move(def));
    }
    return defs;
}

std::optional<std::vector<FixedFieldDef>> readPrsFile(const std::string& path)
{
    const std::string target = resolvePath(path);
    if (!fileExists(target)) {
        return std::nullopt;
    }
    const auto bytes = readWholeFile(target);
    if (!bytes) {
        return std::nullopt;
    }
    return parsePrsRecords(*bytes);
}

std::string serializePrsRecords(const std::vector<FixedFieldDef>& defs)
{
    std::string bytes(defs.size() * kPrsRecordSize, '\0');
    for (std::size_t i = 0; i < defs.size(); ++i) {
        const FixedFieldDef& def = defs[i];
        const std::size_t base = i * kPrsRecordSize;
        writeInt32(bytes, base + kNumberOffset, def.fieldNumber);
        const std::size_t nameLength = std::min(def.name.size(), kPrsNameSize - 1);
        std::memcpy(bytes.data() + base + kNameOffset, def.name.data(), nameLength);
        writeInt32(bytes, base + kStartOffset, def.start);
        writeInt32(bytes, base + kLengthOffset, def.length);
        writeInt32(bytes, base + kDefinedOffset, def.defined);
    }
    return bytes;
}

bool writePrsFile(const std::string& path, const std::vector<FixedFieldDef>& defs)
{
    const std::string target = resolvePath(path);
    std::string bytes;
    if (fileExists(target)) {
        auto existing = readWholeFile(target);
        if (!existing) {
            return false;
        }
        bytes = std::move(*existing);
    }
    const std::string records = serializePrsRecords(defs);
    if (bytes.size() < records.size()) {
        bytes.resize(records.size());
    }
    bytes.replace(0, records.size(), records);
    return writeFileAtomically(target, bytes);
}

} // namespace ostrel
