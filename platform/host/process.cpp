#include <csignal>
#include <string>
#include <vector>

#include "platform/cmdline.h"

namespace platform {
namespace {

std::vector<std::string> arguments;

}  // namespace

void InitProcess(int argc, char** argv) {
    // A closed pipe must come back as a failed write, which the program reports, not as a signal
    // that ends the process without a word.
    std::signal(SIGPIPE, SIG_IGN);
    arguments.assign(argv + (argc > 0 ? 1 : 0), argv + argc);
}

// On Linux the shell has already split the command line; the arguments are taken as received.
std::vector<std::string> ProgramArguments() { return arguments; }

}  // namespace platform
