#include <array>

#include "cvservinst/run.h"
#include "platform/cmdline.h"
#include "platform/units.h"

namespace {

// The program's units, started in this order and stopped in reverse.
constexpr std::array<platform::Unit, 0> kUnits{};

}  // namespace

int main(int argc, char** argv) {
    platform::InitProcess(argc, argv);
    return platform::RunProgram(kUnits, [] { return cvservinst::Run(platform::ProgramArguments()); });
}
