// Which file a run reads its layout keys from: "CONFIG ROOT" names it relative to the product
// folder; without the key the run uses Tarvik.ini itself.
#pragma once

#include "settings/SettingsPaths.h"

#include <string>

namespace ostrel {

// Product folder + the stored value, resolved ignoring case and "\" separators (the value is
// stored upper-cased, often with Windows separators). An empty value names the product folder,
// which is no file, so every read from it yields its default.
std::string runSettingsFilePath(const SettingsPaths& paths);

} // namespace ostrel
