// The fixed type's "Save" and the check on OK: the PATH keys, PLUPrs.prs written over from its
// first byte, FILETYPE 2, then the start row, in that order; and whether the fields every
// record needs (Dept, PLU No, Comm. Name(1)) have a definition.
#pragma once

#include "format/PrsFile.h"
#include "format/SeparatedForm.h"
#include "settings/SettingsPaths.h"

#include <string_view>
#include <vector>

namespace ostrel {

class MessageSink;

// What OK says when a required field has no definition.
inline constexpr const char* kConfirmRequiredFieldsMessage = "Confirm Dept, PLU No, Comm.Name[1]";

// Writes the rows as PLUPrs.prs records in row order. An empty start row stops with "Check
// data!" after PLUPrs.prs and FILETYPE are written; a file that cannot be written stops with
// "Save Failed!". The outcome is shown as reportSave shows it.
SaveOutcome saveFixedFormat(const SettingsPaths& paths, const PathTexts& pathTexts,
                            const std::vector<FixedFieldDef>& rows, std::string_view startRow,
                            MessageSink& messages);

// False when a row named "Dept", "PLU No" or "Comm. Name(1)" is undefined. A name that the
// field list does not hold is not required: nothing could mark it.
bool requiredFixedFieldsDefined(const std::vector<FixedFieldDef>& rows);

} // namespace ostrel
