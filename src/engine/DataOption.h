// DATAOPTION.INI, shared with the scale library: which fields a fixed-type file supplies.
#pragma once

#include "format/ImportFormat.h"

#include <functional>
#include <string>
#include <string_view>

namespace ostrel {

// "PLU_STRUCTURE_" + [FILE_INFO] "MODEL_LIST" (default "7100", 9 characters) without commas.
std::string dataOptionSection(const std::string& dataOptionIniPath);

// Fixed type: writes [PLU_STRUCTURE_m] "PLU_FIELD%d_LEVEL" = "1"/"0" for every field
// definition, then hands the file's path to `setDataOptionFilePath` (the library's
// SetDataOptionFilePath). Separated type: does nothing. Returns 1 when the keys were written,
// 0 when nothing was to do or the write failed.
int PrepareDataOption(const ImportFormat& format, const std::string& dataOptionIniPath,
                      const std::function<void(const std::string&)>& setDataOptionFilePath);

} // namespace ostrel
