#include "cvservinst/reinstall.h"

#include "cvservinst/run.h"
#include "platform/dialog.h"
#include "platform/sync.h"
#include "servises/servises.h"

namespace cvservinst {
namespace {

const std::string kServiceName = "CorvaneService";
const std::string kDisplayName = "Corvane Monitor";
constexpr const char* kInstalled = "Service \"Corvane Monitor\" installed";
constexpr std::string_view kSwitch = " /service";

// The system services the product's service always waits for, each followed by a NUL.
const std::string kFixedDependencies("RpcSs\0Eventlog\0TapiSrv\0", 23);

// The lock that runs reinstalling this service take turns on. Its wait outlasts a removal (up to
// 21 s for the old service to stop and 20 s for its registration to go) with room to spare; past
// it a run goes on alone rather than hang behind one that is stuck.
constexpr std::string_view kTurnName = "cvservinst.CorvaneService";
constexpr uint32_t kTurnTimeoutMilliseconds = 60000;

constexpr uint32_t kOwnProcessInteractive = 0x110;
constexpr uint32_t kAutoStart = 2;

}  // namespace

std::string ServiceCommandLine(const std::string& programPath) {
    // Unquoted, a path with a blank lets a program planted at its first blank (C:\Program.exe)
    // run with the service's rights.
    std::string commandLine;
    if (programPath.find_first_of(" \t") != std::string::npos) {
        commandLine.append("\"").append(programPath).append("\"");
    } else {
        commandLine = programPath;
    }
    commandLine.append(kSwitch);
    return commandLine;
}

servises::DependencyList BuildDependencyList(const std::vector<std::string>& arguments) {
    servises::DependencyList list = kFixedDependencies;
    const std::size_t count = arguments.size();
    for (std::size_t i = 1; i < count; ++i) {
        // An empty name would close the list here and drop every name after it.
        if (arguments[i].empty()) continue;
        list.append(arguments[i]);
        list.push_back('\0');
    }
    list.push_back('\0');
    return list;
}

int ReinstallService(const std::vector<std::string>& arguments) {
    try {
        {
            // Runs on one machine take turns from the removal to the creation: another run's
            // removal between them would delete the registration just created, or make its
            // creation fail, and leave no service behind. The turn ends before the dialog, which
            // waits for the user.
            const platform::MachineLock turn(kTurnName, kTurnTimeoutMilliseconds);

            // The old registration goes first. A first installation finds none, and a service that
            // cannot be stopped or deleted is left registered, so that the creation below fails
            // with the reason worth reporting; so whatever the removal raises is dropped.
            try {
                servises::RemoveService(kServiceName);
            } catch (...) {
            }

            Dependencies = BuildDependencyList(arguments);

            servises::InstallService(kServiceName, kDisplayName, ServiceCommandLine(ProgramPath), Dependencies,
                                     kOwnProcessInteractive, kAutoStart);
        }
        Report(platform::MessageKind::Confirmation, kInstalled);
    } catch (const platform::Exception& error) {
        Report(platform::MessageKind::Error, error.Message());
        return 1;
    }
    return 0;
}

}  // namespace cvservinst
