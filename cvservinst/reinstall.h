// The reinstall of the product's service: the old registration out, a fresh one in.
#pragma once

#include <string>
#include <vector>

#include "servises/servises.h"

namespace cvservinst {

// Silently removes the current registration of "CorvaneService", then registers it afresh for
// ProgramPath with the fixed dependencies and every name from the second argument on, and reports
// the outcome in a dialog and on the console. Returns the exit status: 0 when the service was
// registered, 1 when its creation failed.
int ReinstallService(const std::vector<std::string>& arguments);

// The services "CorvaneService" depends on: RpcSs, Eventlog and TapiSrv, then every argument from
// the second on (the first is the executable's path) that is not empty, each followed by a NUL, and
// one more NUL.
servises::DependencyList BuildDependencyList(const std::vector<std::string>& arguments);

// The command line the service manager runs: the executable's path, quoted when it holds a blank,
// then " /service".
std::string ServiceCommandLine(const std::string& programPath);

}  // namespace cvservinst
