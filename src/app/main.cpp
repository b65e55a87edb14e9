// ostrel: the program entry. Stays thin; the modes live in OstrelProgram.
#include "app/CommandLine.h"
#include "app/OstrelProgram.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const ostrel::CommandLine commandLine = ostrel::parseCommandLine(arguments);
    if (!commandLine.error.empty()) {
        std::fprintf(stderr, "ostrel: %s\nTry 'ostrel --help'.\n", commandLine.error.c_str());
        return ostrel::kExitSettingsError;
    }
    return ostrel::runProgram(commandLine, argc, argv);
}
