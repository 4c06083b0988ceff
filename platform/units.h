// The program's start-up and shut-down sequence.
#pragma once

#include <functional>
#include <span>

namespace platform {

// A unit of the program with a start and a stop, each run once per process.
struct Unit {
    const char* name;
    void (*start)();
    void (*stop)() noexcept;
};

// Starts `units` in order, runs `body`, then stops the started units in reverse order, also when an
// error escapes `body`. Returns the status that `body` returned; an error that escapes it, or the
// start of a unit, has its text written to standard error and gives status 1.
int RunProgram(std::span<const Unit> units, const std::function<int()>& body);

}  // namespace platform
