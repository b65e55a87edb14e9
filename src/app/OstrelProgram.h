// The program's modes: the desktop program in the tray, the headless program, one foreground
// run, a message to the running instance, and the settings template.
#pragma once

#include "app/CommandLine.h"

namespace ostrel {

// Exit codes of the program.
inline constexpr int kExitOk = 0;
inline constexpr int kExitScaleFailed = 1;
inline constexpr int kExitSettingsError = 2;
inline constexpr int kExitAlreadyRunning = 3;

int runProgram(const CommandLine& commandLine, int& argc, char** argv);

} // namespace ostrel
