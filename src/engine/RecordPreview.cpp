#include "engine/RecordPreview.h"

#include "engine/ImportSources.h"
#include "engine/PluRecord.h"
#include "engine/ReadingWarnings.h"
#include "engine/ScaleTransfer.h"
#include "platform/CodePage.h"

#include <algorithm>
#include <cstdlib>

namespace ostrel {
namespace {

constexpr int kDepartmentField = 1;
constexpr int kPluField = 2;
constexpr int kPriceField = 6;
constexpr int kItemCodeField = 11;

std::string fieldValue(const PluRecord& record, int field, int decimals)
{
    if (const auto text = record.textOfField(field)) {
        return std::string(*text);
    }
    const auto number = record.numberOfField(field);
    if (!number) {
        return {};
    }
    return field == kPriceField ? priceText(*number, decimals) : std::to_string(*number);
}

std::string fieldName(const std::vector<PluField>& fields, int number)
{
    const auto it = std::find_if(fields.begin(), fields.end(), [number](const PluField& field) {
        return field.number == number;
    });
    return it != fields.end() ? it->name : "field " + std::to_string(number);
}

// The fields the layout fills besides department, PLU number, price and item code (shown on
// their own), in its order, without the action marker.
std::vector<int> mappedFields(const PreviewLayout& layout)
{
    std::vector<int> numbers;
    if (layout.format.fileType == kFixedType) {
        for (const FixedFieldSpec& range : layout.format.fixedFields) {
            if (range.length > 0) {
                numbers.push_back(range.fieldNumber);
            }
        }
    } else if (layout.columns) {
        numbers = *layout.columns;
    } else if (const auto bytes = readWholeFile(layout.sources.pluIdIni)) {
        numbers = parsePluIdColumns(*bytes);
    }
    std::vector<int> unique;
    for (const int number : numbers) {
        const bool shownApart = number == kDepartmentField || number == kPluField ||
                                number == kPriceField || number == kItemCodeField;
        if (!shownApart && slotForField(number) != nullptr &&
            std::find(unique.begin(), unique.end(), number) == unique.end()) {
            unique.push_back(number);
        }
    }
    return unique;
}

RunLines makeLines(const PreviewLayout& layout, const DataFileReader& reader,
                   const IndexedFile& file, FileLineNumbers numbers, const std::string& rulesFile)
{
    RunLineSources sources = layout.sources;
    sources.rulesFile = rulesFile;
    RunLines lines(reader, {file}, std::move(numbers), layout.format.fileType, layout.decimals,
                   sources);
    lines.overrideLayout(layout.columns, layout.itemIsPlu);
    return lines;
}

} // namespace

std::string priceText(std::int64_t minorUnits, int decimals)
{
    if (decimals <= 0) {
        return std::to_string(minorUnits);
    }
    std::string digits = std::to_string(std::llabs(minorUnits));
    if (digits.size() <= static_cast<std::size_t>(decimals)) {
        digits.insert(0, static_cast<std::size_t>(decimals) + 1 - digits.size(), '0');
    }
    digits.insert(digits.size() - static_cast<std::size_t>(decimals), ".");
    return (minorUnits < 0 ? "-" : "") + digits;
}

bool PreviewFile::everyLineMakesARecord() const
{
    return opened && skippedLines.empty() && warnings.empty() &&
           std::all_of(lines.begin(), lines.end(), [](const PreviewLine& line) {
               return line.action >= 1 && line.partialRead.empty();
           });
}

PreviewFile previewDataFile(const PreviewLayout& layout, const std::string& path,
                            std::size_t maxLines)
{
    PreviewFile preview;
    preview.path = path;
    preview.layout = layout.format.fileType == kFixedType ? "fixed" : "separated";
    DataFileReader reader(LineSplitter(layout.format), layout.startRow);
    reader.setEncoding(layout.encoding);
    IndexedFile file;
    FileReadResult read = reader.indexFile(path, file);
    preview.opened = read.opened;
    if (!read.opened) {
        return preview;
    }
    preview.encoding = read.encoding.describe(read.codePage);
    preview.lineCount = static_cast<int>(file.size());
    preview.skippedLines = std::move(read.skippedLines);
    if (read.unmappedCharacters > 0) {
        preview.warnings.push_back(
            unmappedText(read.unmappedCharacters, read.codePage, read.firstUnmappedLine));
    }
    // Parsed as a run parses, and once more without the rules, to tell what a rule changed.
    const std::size_t shown = std::min(maxLines, file.size());
    RunLines withoutRules = makeLines(layout, reader, file, read.lineNumbers, "");
    RunLines lines = makeLines(layout, reader, file, read.lineNumbers, layout.sources.rulesFile);
    const std::vector<int> mapped = mappedFields(layout);
    for (std::size_t index = 0; index < shown; ++index) {
        PreviewLine line;
        line.fileLine = lines.fileLine(index);
        line.action = lines.parse(index, line.record);
        if (line.action < 1) {
            line.skipReason = std::string(kSkipNoRecord);
            preview.lines.push_back(std::move(line));
            continue;
        }
        RecordBytes unruled{};
        withoutRules.parse(index, unruled);
        PluRecord record;
        PluRecord plain;
        std::copy(line.record.begin(), line.record.end(), record.bytes.begin());
        std::copy(unruled.begin(), unruled.end(), plain.bytes.begin());
        line.department = static_cast<int>(record.numberOfField(kDepartmentField).value_or(0));
        line.pluNumber = record.numberOfField(kPluField).value_or(0);
        line.itemCode = record.numberOfField(kItemCodeField).value_or(0);
        line.price = priceText(record.numberOfField(kPriceField).value_or(0), layout.decimals);
        for (const int number : mapped) {
            const std::string value = fieldValue(record, number, layout.decimals);
            line.fields.push_back({number, fieldName(layout.fields, number), value,
                                   value != fieldValue(plain, number, layout.decimals)});
        }
        if (const auto partial = lines.partialReads().find(index);
            partial != lines.partialReads().end()) {
            line.partialRead = partialReadExample(line.fileLine, partial->second.field,
                                                  partial->second.text, partial->second.value);
        }
        preview.lines.push_back(std::move(line));
    }
    const auto& partials = lines.partialReads();
    if (!partials.empty()) {
        const auto& [index, first] = *partials.begin();
        preview.warnings.push_back(partialReadText(
            static_cast<int>(partials.size()),
            partialReadExample(lines.fileLine(index), first.field, first.text, first.value)));
    }
    return preview;
}

} // namespace ostrel
