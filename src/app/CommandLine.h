// The program's command line: which mode to run and its options.
#pragma once

#include "app/InstanceMessage.h"

#include <optional>
#include <string>
#include <vector>

namespace ostrel {

struct CommandLine
{
    enum class Mode
    {
        Tray,       // the desktop program (headless when no tray can be shown)
        Headless,   // the whole program without windows
        Once,       // one Direct Download in the foreground
        Send,       // one message to the running instance
        InitConfig, // create missing settings from the template
        Status,     // the last run's result
        Help
    };

    Mode mode = Mode::Tray;
    std::optional<InstanceMessage> message; // for Send
    std::string documents;                  // --documents DIR, "" when not given
    bool json = false;                      // --once prints the run's result document
    std::string error;                      // set when the command line is wrong
};

CommandLine parseCommandLine(const std::vector<std::string>& arguments);

// The text of --help.
const char* usageText();

} // namespace ostrel
