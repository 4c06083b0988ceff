#include <array>

#include "cvservinst/run.h"
#include "platform/cmdline.h"
#include "platform/units.h"
#include "servises/servises.h"

namespace {

// The program's units, started in this order and stopped in reverse.
constexpr std::array<platform::Unit, 1> kUnits{{
    {"servises", servises::StartUnit, servises::StopUnit},
}};

}  // namespace

int main(int argc, char** argv) {
    platform::InitProcess(argc, argv);
    return platform::RunProgram(kUnits, [] {
        return cvservinst::Run(platform::ProgramArguments(), platform::CommandLineHasTextAfterProgramName());
    });
}
