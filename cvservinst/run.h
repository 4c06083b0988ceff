// The program's one run: banner, usage, the check of the product executable, and the hand-over to
// the reinstall.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dialog.h"
#include "servises/servises.h"

namespace cvservinst {

// The absolute path of the product executable, expanded from the first argument.
extern std::string ProgramPath;

// The services the product's service depends on: names each followed by a NUL, closed by one more.
extern servises::DependencyList Dependencies;

// The four banner lines, 79 bytes each, in code page 437.
std::array<std::string, 4> BannerLines();

// Runs the program on its arguments (the program's own name excluded); `textAfterProgramName`
// tells whether the command line held anything after the name, even what gave no argument.
// Returns the exit status.
int Run(const std::vector<std::string>& arguments, bool textAfterProgramName);

// Shows `text` in a dialog of `kind`, then, once it is closed, prints it on the console after
// " Error: " or " Done: ".
void Report(platform::MessageKind kind, std::string_view text);

}  // namespace cvservinst
