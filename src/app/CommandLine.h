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
        Autostart,  // write the user's autostart entry
        Scan,       // find the scales on the network and print them
        Test,       // ask every registered scale for its information and print the list
        Status,     // the last run's result
        Resend,     // one data file sent again to every scale or to one
        Preview,    // the records the data files would become, sent nowhere
        Help,
        Version
    };

    Mode mode = Mode::Tray;
    std::optional<InstanceMessage> message; // for Send
    std::string documents;                  // --documents DIR, "" when not given
    bool startAtLogin = false;              // for Autostart: on or off
    bool save = false;                      // --save with --scan
    bool json = false;                      // --once prints the run's result document
    std::string resendFile;                 // for Resend
    std::vector<std::string> previewFiles;  // for Preview: the files named, none for the folder's
    int previewLines = 20;                  // --lines N with --preview
    std::string scale;                      // --scale IP[:PORT] with --resend
    bool full = false;                      // --full with --once or --send run
    bool start = false;                     // --start with --send: start Ostrel when none runs
    std::string error;                      // set when the command line is wrong
};

CommandLine parseCommandLine(const std::vector<std::string>& arguments);

// The text of --help.
const char* usageText();
// The text of --version.
const char* versionText();

} // namespace ostrel
