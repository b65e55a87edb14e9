// What a run would send for each line of a data file, without any scale: the same reading
// (encoding, Start Row, splitting), the same rules and parse, the same record. The records are
// decoded field by field for `ostrel --preview` and the PLU file setting window's preview.
#pragma once

#include "engine/DataFileReader.h"
#include "engine/RunLines.h"
#include "format/ImportFormat.h"
#include "format/StructFile.h"

#include <optional>
#include <string>
#include <vector>

namespace ostrel {

// Everything a run takes from the settings to turn a line into a record.
struct PreviewLayout
{
    ImportFormat format;
    int startRow = 1;
    EncodingSetting encoding = EncodingSetting::Auto;
    int decimals = 0;
    RunLineSources sources;
    // A layout not saved yet (the window's): these columns and "ItemIsPLU" in place of the
    // files'.
    std::optional<std::vector<int>> columns;
    std::optional<bool> itemIsPlu;
    std::vector<PluField> fields; // plustruct.str: the names of the fields
};

struct PreviewField
{
    int number = 0;
    std::string name;
    std::string value;          // as the scale gets it: code-page text or a decimal number
    bool changedByRule = false; // a replacement rule made it what it is
};

struct PreviewLine
{
    int fileLine = 0; // the line of the file, from 1
    int action = 0;   // 3 insert or replace, 4 delete, 0 no record
    std::string skipReason;
    int department = 0;
    long long pluNumber = 0;
    long long itemCode = 0;
    std::string price;                // "3.50" with the price decimals
    std::vector<PreviewField> fields; // every other field the layout maps, in its order
    std::string partialRead;          // "price 'n/a' read as 0", "" when read whole
    RecordBytes record{};
};

struct PreviewFile
{
    std::string path;
    bool opened = false;
    std::string encoding;                                  // "UTF-8 (byte-order mark)"
    std::string layout;                                    // "separated" or "fixed"
    int lineCount = 0;                                     // data lines read
    std::vector<std::pair<int, std::string>> skippedLines; // file line and why, while reading
    std::vector<std::string> warnings; // characters the code page lacks, numbers read in part
    std::vector<PreviewLine> lines;
    bool everyLineMakesARecord() const;
};

// The first `maxLines` data lines of the file at `path` as records.
PreviewFile previewDataFile(const PreviewLayout& layout, const std::string& path,
                            std::size_t maxLines);

// The price field's value with the decimal point where the scale shows it: 350 -> "3.50".
std::string priceText(std::int64_t minorUnits, int decimals);

} // namespace ostrel
