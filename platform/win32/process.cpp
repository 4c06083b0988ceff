#include "platform/cmdline.h"
#include "platform/win32/win32.h"

namespace platform {

// The C runtime's argv follows other rules (backslash escapes); the command line is split by ours.
void InitProcess(int, char**) {}

std::vector<std::string> ProgramArguments() {
    std::vector<std::string> arguments = SplitCommandLine(::GetCommandLineA());
    if (!arguments.empty()) arguments.erase(arguments.begin());
    return arguments;
}

bool CommandLineHasTextAfterProgramName() { return HasTextAfterProgramName(::GetCommandLineA()); }

}  // namespace platform
