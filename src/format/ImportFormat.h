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

    // The text of that kind, "" when there is none; when a kind occurs more than once the last
    // one counts, as it does for the line splitter.
    std::string_view text(int kind) const
    {
        // NOLINTNEXTLINE(modernize-loop-convert): backwards, as the last one counts
        for (auto it = textSettings.rbegin(); it != textSettings.rend(); ++it) {
            if (it->kind == kind) {
                return it->text;
            }
        }
        return {};
    }
};

} // namespace ostrel
