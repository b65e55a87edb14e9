// The in-memory layout of the data files for a run, filled by LoadImportFormat.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

enum FileType : int
{
    kSeparatedType = 1,
    kFixedType = 2
};

enum FormatTextKind : int
{
    kTextSeparator = 1,
    kTextComment = 2,
    kTextQuote = 3,
    kTextEnd = 4
};

struct FormatTextItem
{
    int kind = 0;
    std::string text;
};

struct FixedFieldSpec
{
    int fieldNumber = 0;
    int start = 0;
    int length = 0;
};

struct ImportFormat
{
    int fileType = kSeparatedType;
    std::string searchPattern;
    std::vector<FormatTextItem> textSettings;
    std::vector<FixedFieldSpec> fixedFields;

    // The text of the first item of that kind, "" when there is none.
    std::string_view text(int kind) const
    {
        for (const auto& item : textSettings) {
            if (item.kind == kind) {
                return item.text;
            }
        }
        return {};
    }
};

} // namespace ostrel
