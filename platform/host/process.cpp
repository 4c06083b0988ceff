#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <string>
#include <vector>

#include "platform/cmdline.h"

namespace platform {
namespace {

std::vector<std::string> Arguments;

// A standard stream that the caller closed is held open on /dev/null, so that no file the program
// opens later (a record of the service store, say) takes its number and receives what was meant for
// the stream. Standard output is held read-only: writing to it still fails, as it did when closed.
void HoldClosedStandardStreams() {
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int held = ::open("/dev/null", fd == STDERR_FILENO ? O_WRONLY : O_RDONLY);
        if (held >= 0 && held != fd) {
            ::dup2(held, fd);
            ::close(held);
        }
    }
}

}  // namespace

void InitProcess(int argc, char** argv) {
    HoldClosedStandardStreams();
    // A closed pipe must come back as a failed write, which the program reports, not as a signal
    // that ends the process without a word.
    // NOLINTNEXTLINE(cert-err33-c): fails only for an invalid signal number, and SIGPIPE is valid
    std::signal(SIGPIPE, SIG_IGN);
    Arguments.assign(argv + (argc > 0 ? 1 : 0), argv + argc);
}

// On Linux the shell has already split the command line; the arguments are taken as received.
std::vector<std::string> ProgramArguments() { return Arguments; }

// Every argument the shell passed stays, an empty one too.
bool CommandLineHasTextAfterProgramName() { return !Arguments.empty(); }

}  // namespace platform
