// The process command line and its arguments.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Splits a command line the way the program's runtime does: blanks and control characters separate
// arguments outside double quotes; quoted stretches join the characters around them and lose their
// quotes; "" where an argument would begin is skipped; there is no escape character. Characters
// are stepped through in the ANSI code page. The result includes the program's own name.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// Whether anything but separators follows the program's own name on the command line, even text
// that yields no argument (such as "" alone).
bool HasTextAfterProgramName(std::string_view commandLine);

// Records what the process received from its start; call once, first thing in main.
void InitProcess(int argc, char** argv);

// The process's arguments without the program's own name.
std::vector<std::string> ProgramArguments();

// Whether the process's command line held anything after the program's own name, even when that
// gave no argument.
bool CommandLineHasTextAfterProgramName();

}  // namespace platform
