// The program's modes besides the desktop one, each in a file of its own.
#pragma once

#include "app/CommandLine.h"

namespace ostrel {

// ostrel --headless, and ostrel without a display.
int runHeadless(int& argc, char** argv);
// ostrel --once [--json]: one "Direct Download" in the foreground.
int runOnce(bool json, int& argc, char** argv);
// ostrel --scan [--save] and --test.
int runScaleQuery(const CommandLine& commandLine, int& argc, char** argv);

} // namespace ostrel
