// The PLU file setting window's preview: the window's values, not saved yet, saved into a
// scratch copy of the settings by the window's own Save steps, then the sample file read and
// parsed with them exactly as a run would read and parse it.
#pragma once

#include "engine/RecordPreview.h"
#include "format/PrsFile.h"
#include "format/SeparatedForm.h"
#include "platform/FileSystem.h"
#include "settings/SettingsPaths.h"

#include <optional>
#include <string>
#include <vector>

namespace ostrel {

// What the window holds now.
struct WindowLayout
{
    PathTexts paths;
    int fileType = 1;
    SeparatedForm separated;
    std::vector<PluIdRow> columns;
    std::vector<FixedFieldDef> fixedRows;
    std::string fixedStartRow = "1";
    std::optional<FileStamp> rulesFile; // a rule added or changed makes a new preview
    bool operator==(const WindowLayout&) const = default;
};

struct WindowPreview
{
    std::string problem; // why there is no preview: a settings problem, no sample file
    PreviewFile file;
};

WindowPreview previewWindowLayout(const SettingsPaths& settings, const WindowLayout& window,
                                  std::size_t maxLines);

} // namespace ostrel
