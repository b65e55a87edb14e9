// The first start without settings: whether it applies, and the offer to create the settings
// from the template (what `ostrel --init-config` does), through the message seam.
#pragma once

#include "settings/SettingsPaths.h"

#include <string>

namespace ostrel {

class MessageSink;

// The settings folder or Tarvik.ini is missing.
bool settingsMissing(const SettingsPaths& paths);

// The hint `--headless` prints once, on a start without settings.
std::string firstRunHint(const SettingsPaths& paths);

enum class FirstRunOutcome
{
    NotNeeded,
    Declined,
    Created,
    Failed
};

// Asks (Yes/No) whether to create the settings; on Yes creates them from `templateDir` and
// says where they are, or says why it could not. Never overwrites a file.
FirstRunOutcome offerFirstRun(const SettingsPaths& paths, const std::string& templateDir,
                              MessageSink& messages);

} // namespace ostrel
