// The program's modes besides the desktop one, each in a file of its own.
#pragma once

#include "app/CommandLine.h"

#include <string>

namespace ostrel {

// ostrel --headless, and ostrel without a display.
int runHeadless(int& argc, char** argv);
struct OnceOptions
{
    bool json = false;
    std::string resendFile;  // ostrel --resend FILE: that file again, nothing renamed
    std::string resendScale; // --scale IP[:PORT] with --resend, "" for every scale
    bool fullSend = false;   // --full: every scale gets a full send
};
// ostrel --once [--json] and --resend: one "Direct Download" in the foreground (as many runs
// as the waiting files need), or one file sent again.
int runOnce(const OnceOptions& options, int& argc, char** argv);
// ostrel --preview [FILE...] [--lines N] [--json].
int runPreview(const CommandLine& commandLine, int& argc, char** argv);
// ostrel --scan [--save] and --test.
int runScaleQuery(const CommandLine& commandLine, int& argc, char** argv);

} // namespace ostrel
