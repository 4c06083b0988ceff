// The service-control unit against the host emulation, where every call and sleep can be watched.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/host/scm_testing.h"
#include "servises/servises.h"
#include "tests/host/scm_host_support.h"
#include "tests/support/servises_support.h"

namespace {

namespace host = platform::host;
using Trace = std::vector<std::string>;
using cvs_test::ErrorOf;
using cvs_test::SystemText;

// A started unit over a fresh in-memory service manager with recorded sleeps.
class ServisesHostTest : public testing::Test {
protected:
    host::Emulation emulation_;
    cvs_test::StartedServises unit_;
};

host::ServiceEntry Running(const std::string& name, int32_t stopPending) {
    host::ServiceEntry entry;
    entry.name = name;
    entry.state = platform::kServiceRunning;
    entry.stopPending = stopPending;
    return entry;
}

// A running service whose stop ends in `state` at the first status query.
host::ServiceEntry StopsTo(const std::string& name, uint32_t state) {
    host::ServiceEntry entry = Running(name, 0);
    entry.stateAfterStop = state;
    return entry;
}

host::ServiceEntry Stopped(const std::string& name) {
    host::ServiceEntry entry;
    entry.name = name;
    return entry;
}

const servises::DependencyList kFixed("RpcSs\0Eventlog\0TapiSrv\0\0", 24);

// --- Binding -------------------------------------------------------------------------------------

TEST_F(ServisesHostTest, TwoCallsLoadTheLibraryOnce) {
    EXPECT_TRUE(servises::ServiceApiAvailable());
    EXPECT_TRUE(servises::ServiceApiAvailable());
    EXPECT_EQ(1u, host::CallTrace(host::EntryPoint::LoadLibraryA).size());
    EXPECT_EQ(7u, host::CallTrace(host::EntryPoint::GetProcAddress).size());
}

TEST_F(ServisesHostTest, AFailedLoadIsNeverRetried) {
    host::FailLibraryLoad(platform::kErrorModNotFound);
    EXPECT_FALSE(servises::ServiceApiAvailable());
    EXPECT_FALSE(servises::ServiceApiAvailable());
    EXPECT_EQ(1u, host::CallTrace(host::EntryPoint::LoadLibraryA).size());
    EXPECT_TRUE(host::CallTrace(host::EntryPoint::GetProcAddress).empty());
}

TEST_F(ServisesHostTest, AMissingEntryPointLeavesTheLibraryLoadedButUnavailable) {
    host::HideEntryPoint("StartServiceA");
    EXPECT_FALSE(servises::ServiceApiAvailable());
    EXPECT_FALSE(servises::ServiceApiAvailable());
    // Every entry point is still looked up, once, and the library stays loaded until the unit stops.
    EXPECT_EQ(7u, host::CallTrace(host::EntryPoint::GetProcAddress).size());
    EXPECT_EQ(1, host::LibraryLoadCount());
    servises::StopUnit();
    EXPECT_EQ(0, host::LibraryLoadCount());
    servises::StartUnit();
}

TEST_F(ServisesHostTest, UnavailableEntryPointsMakeNoServiceManagerCall) {
    host::HideEntryPoint("QueryServiceStatus");
    host::SeedService(Stopped("Victim"));
    EXPECT_EQ("advapi32.dll wasn`t loaded", ErrorOf([] { servises::RemoveService("Victim"); }));
    EXPECT_EQ("advapi32.dll wasn`t loaded", ErrorOf([] {
                  servises::InstallService("Other", "Other", "C:\\other.exe", kFixed, 0x110, 2);
              }));
    for (const auto& call : host::CallLog()) {
        EXPECT_TRUE(call.entryPoint == host::EntryPoint::LoadLibraryA ||
                    call.entryPoint == host::EntryPoint::GetProcAddress)
            << call.line;
    }
    EXPECT_TRUE(host::FindService("Victim").has_value());
}

// --- Removal -------------------------------------------------------------------------------------

struct RemovalCase {
    const char* what;
    host::ServiceEntry seeded;
    std::vector<uint32_t> sleeps;
    std::string error;  // empty: no error
    bool deleted;
};

TEST_F(ServisesHostTest, RemovalWaitsForTheStopAsLongAsItShould) {
    const std::vector<uint32_t> twentyOneSeconds(21, 1000);
    const RemovalCase cases[] = {
        {"not running: no wait", Stopped("Svc"), {}, "", true},
        {"stopped at the first query", Running("Svc", 0), {1000}, "", true},
        {"stop-pending, then stopped", Running("Svc", 1), {1000, 1000}, "", true},
        {"never stops", Running("Svc", -1), twentyOneSeconds, "Cannot stop service", false},
        {"neither stopping nor stopped", StopsTo("Svc", platform::kServiceRunning), {1000},
         "Cannot stop service", false},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        const host::Emulation emulation;
        host::SeedService(row.seeded);

        EXPECT_EQ(row.error, ErrorOf([] { servises::RemoveService("Svc"); }));
        EXPECT_EQ(row.sleeps, host::RecordedSleeps());
        EXPECT_EQ(row.deleted, !host::FindService("Svc").has_value());
        EXPECT_EQ(0u, host::OpenHandleCount());
        // The service's handle is closed before the manager's.
        const Trace closes = host::CallTrace(host::EntryPoint::CloseServiceHandle);
        EXPECT_EQ((Trace{"CloseServiceHandle #2 -> ok", "CloseServiceHandle #1 -> ok"}), closes);
    }
}

// A service that runs, or may run, is only marked by a deletion and would go later, after the new
// registration has failed: it is left exactly as it was.
TEST_F(ServisesHostTest, AServiceThatRefusesTheStopIsNotDeleted) {
    struct Refusal {
        const char* what;
        uint32_t state;
        uint32_t controlsAccepted;
        uint32_t injected;  // made the stop request's error; 0: the emulation's own answer
        uint32_t code;
    };
    const Refusal refusals[] = {
        {"running, accepts no stop", platform::kServiceRunning, 0, 0, platform::kErrorInvalidServiceControl},
        {"stopping already", platform::kServiceStopPending, platform::kServiceAcceptStop, 0,
         platform::kErrorServiceCannotAcceptCtrl},
        {"starting, accepts nothing yet", platform::kServiceStartPending, 0, 0,
         platform::kErrorInvalidServiceControl},
        {"running services depend on it", platform::kServiceRunning, platform::kServiceAcceptStop,
         platform::kErrorDependentServicesRunning, platform::kErrorDependentServicesRunning},
        {"no right to stop it", platform::kServiceRunning, platform::kServiceAcceptStop, platform::kErrorAccessDenied,
         platform::kErrorAccessDenied},
    };
    for (const auto& row : refusals) {
        SCOPED_TRACE(row.what);
        const host::Emulation emulation;
        host::ServiceEntry seeded = Running("Svc", 0);
        seeded.state = row.state;
        seeded.controlsAccepted = row.controlsAccepted;
        host::SeedService(seeded);
        if (row.injected != 0) host::FailNextCall(host::EntryPoint::ControlService, row.injected);

        EXPECT_EQ("Cannot stop service\r\n" + SystemText(row.code), ErrorOf([] { servises::RemoveService("Svc"); }));
        EXPECT_TRUE(host::CallTrace(host::EntryPoint::DeleteService).empty());
        EXPECT_TRUE(host::RecordedSleeps().empty());
        const auto left = host::FindService("Svc");
        ASSERT_TRUE(left.has_value());
        EXPECT_FALSE(left->markedForDelete);
        EXPECT_EQ(row.state, left->state);
        EXPECT_EQ(0u, host::OpenHandleCount());
        EXPECT_EQ((Trace{"CloseServiceHandle #2 -> ok", "CloseServiceHandle #1 -> ok"}),
                  host::CallTrace(host::EntryPoint::CloseServiceHandle));
    }
}

// Another program holds the stopped service open, so the deletion only marks it. The removal
// closes its own handle and looks again every 250 ms, for at most 20 s, until the name is free.
TEST_F(ServisesHostTest, RemovalWaitsForAMarkedRegistrationToGo) {
    struct Hold {
        const char* what;
        bool markedBefore;     // already marked when the removal starts
        std::size_t released;  // the holder closes its handle at this sleep; 0: never
        std::size_t sleeps;
        std::string error;
    };
    const Hold holds[] = {
        {"released while the removal waits", false, 3, 3, ""},
        {"already marked, released while the removal waits", true, 2, 2, ""},
        {"held beyond the wait", false, 0, 80,
         "Cannot delete service\r\n" + SystemText(platform::kErrorServiceMarkedForDelete)},
    };
    for (const auto& row : holds) {
        SCOPED_TRACE(row.what);
        host::Emulation emulation;
        host::SeedService(Stopped("Svc"));
        cvs_test::Scm holder;
        const platform::ScHandle holderManager = holder.openManager(nullptr, nullptr, platform::kScManagerConnect);
        const platform::ScHandle held =
            holder.openService(holderManager, "Svc", platform::kServiceQueryStatus | platform::kDeleteAccess);
        ASSERT_NE(nullptr, held);
        // An uninstaller, say, deleted it while the holder had it open.
        if (row.markedBefore) {
            ASSERT_TRUE(platform::DeleteService(held));
        }
        if (row.released != 0) emulation.AfterSleep(row.released, [&] { holder.close(held); });

        EXPECT_EQ(row.error, ErrorOf([] { servises::RemoveService("Svc"); }));
        EXPECT_EQ(std::vector<uint32_t>(row.sleeps, 250), host::RecordedSleeps());
        // The holder's open, the removal's, then one look at once and one after each sleep.
        EXPECT_EQ(row.sleeps + 3, host::CallTrace(host::EntryPoint::OpenServiceA).size());
        const auto left = host::FindService("Svc");
        EXPECT_EQ(row.released == 0, left.has_value());
        if (left) {
            EXPECT_TRUE(left->markedForDelete);
        }
        if (row.released == 0) holder.close(held);
        holder.close(holderManager);
        EXPECT_EQ(0u, host::OpenHandleCount());
        EXPECT_FALSE(host::FindService("Svc").has_value());
    }
}

TEST_F(ServisesHostTest, AFailedStatusQueryEndsTheWaitWithTheStateLastReported) {
    host::SeedService(Running("Svc", 5));
    host::FailNextCall(host::EntryPoint::QueryServiceStatus, platform::kErrorInvalidHandle);
    EXPECT_EQ("Cannot stop service", ErrorOf([] { servises::RemoveService("Svc"); }));
    EXPECT_EQ((std::vector<uint32_t>{1000}), host::RecordedSleeps());
    EXPECT_TRUE(host::FindService("Svc").has_value());
    EXPECT_EQ(0u, host::OpenHandleCount());
}

TEST_F(ServisesHostTest, RemovalFailuresCarryTheSystemsText) {
    struct Failure {
        const char* what;
        std::optional<host::EntryPoint> entryPoint;  // made to fail; none when nothing is
        uint32_t code;
        std::string expected;
    };
    const Failure failures[] = {
        {"not registered", std::nullopt, 0,
         "Cannot open service\r\n" + SystemText(platform::kErrorServiceDoesNotExist)},
        {"manager refused", host::EntryPoint::OpenSCManagerA, platform::kErrorAccessDenied,
         "Cannot open Service Control Manager\r\n" + SystemText(platform::kErrorAccessDenied)},
        {"deletion refused", host::EntryPoint::DeleteService, platform::kErrorAccessDenied,
         "Cannot delete service\r\n" + SystemText(platform::kErrorAccessDenied)},
    };
    for (const auto& row : failures) {
        SCOPED_TRACE(row.what);
        const host::Emulation emulation;
        if (row.entryPoint) {
            host::SeedService(Stopped("Svc"));
            host::FailNextCall(*row.entryPoint, row.code);
        }
        EXPECT_EQ(row.expected, ErrorOf([] { servises::RemoveService("Svc"); }));
        EXPECT_EQ(0u, host::OpenHandleCount());
    }
}

TEST_F(ServisesHostTest, RemoveServiceIsRemoveServiceOnTheLocalMachine) {
    // The whole trace of one removal from a fresh unit and a fresh emulation.
    const auto traceOf = [](void (*remove)()) {
        servises::StopUnit();
        const host::Emulation emulation;
        servises::StartUnit();
        host::SeedService(Running("Svc", 1));
        remove();
        EXPECT_FALSE(host::FindService("Svc").has_value());
        return host::CallTrace();
    };
    const Trace local = traceOf([] { servises::RemoveService("Svc"); });
    EXPECT_EQ(local, traceOf([] { servises::RemoveServiceOn("", "Svc"); }));
    EXPECT_EQ("OpenSCManagerA 0xf003f -> #1", local.at(8));
}

// A named machine's services are in its own directory of the on-disk store.
TEST_F(ServisesHostTest, RemovalOnANamedMachine) {
    const auto store = std::filesystem::path(testing::TempDir()) / "servises_machines";
    std::filesystem::remove_all(store);
    std::filesystem::create_directories(store / "machines" / "buildhost");
    const cvs_test::StoreDirectoryNamed storeNamed(store);
    const host::Emulation onDisk(host::EmulatedStore::Disk);
    host::SeedService(Stopped("Svc"));  // on the local machine only

    EXPECT_EQ("Cannot open service\r\n" + SystemText(platform::kErrorServiceDoesNotExist),
              ErrorOf([] { servises::RemoveServiceOn("buildhost", "Svc"); }));
    EXPECT_EQ("Cannot open Service Control Manager\r\n" + SystemText(platform::kErrorRpcServerUnavailable),
              ErrorOf([] { servises::RemoveServiceOn("nosuchhost", "Svc"); }));
    EXPECT_TRUE(host::FindService("Svc").has_value());
    EXPECT_EQ(0u, host::OpenHandleCount());

    servises::RemoveServiceOn("", "Svc");
    EXPECT_FALSE(host::FindService("Svc").has_value());
    std::filesystem::remove_all(store);
}

// --- Creation ------------------------------------------------------------------------------------

TEST_F(ServisesHostTest, CreationRegistersTheServiceAndClosesEveryHandle) {
    servises::InstallService("CorvaneService", "Corvane Monitor", "C:\\corvane.exe /service",
                             servises::DependencyList("RpcSs\0Eventlog\0TapiSrv\0snmp\0\0", 29), 0x110, 2);
    const auto entry = host::FindService("corvaneservice");
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ("CorvaneService", entry->name);
    EXPECT_EQ("Corvane Monitor", entry->displayName);
    EXPECT_EQ("C:\\corvane.exe /service", entry->imagePath);
    EXPECT_EQ((std::vector<std::string>{"RpcSs", "Eventlog", "TapiSrv", "snmp"}), entry->dependencies);
    EXPECT_EQ(0x110u, entry->type);
    EXPECT_EQ(2u, entry->start);
    EXPECT_EQ(platform::kServiceErrorNormal, entry->errorControl);
    EXPECT_EQ(platform::kServiceStopped, entry->state);
    EXPECT_EQ(0u, host::OpenHandleCount());
}

// A caller's list that is not closed is closed before it is handed over: the manager reads it to
// its first empty name, and never beyond the list's own bytes (the sanitizer build would see that).
TEST_F(ServisesHostTest, TheListHandedToThePlatformIsClosed) {
    const servises::DependencyList callers("RpcSs\0Eventlog\0TapiSrv", 22);
    servises::InstallService("Svc", "Svc", "C:\\svc.exe", callers, 0x110, 2);
    EXPECT_EQ(std::string("RpcSs\0Eventlog\0TapiSrv\0\0", 24), host::DependenciesRead());
    EXPECT_EQ(std::string("RpcSs\0Eventlog\0TapiSrv", 22), callers);
    const auto entry = host::FindService("Svc");
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ((std::vector<std::string>{"RpcSs", "Eventlog", "TapiSrv"}), entry->dependencies);
}

TEST_F(ServisesHostTest, CreatingAnExistingNameLeavesTheOldRegistrationAsItWas) {
    host::ServiceEntry old = Running("CorvaneService", 0);
    old.imagePath = "C:\\old\\corvane.exe /service";
    host::SeedService(old);
    const auto before = host::FindService("CorvaneService");

    EXPECT_EQ("Cannot create service\r\n" + SystemText(platform::kErrorServiceExists), ErrorOf([] {
                  servises::InstallService("CorvaneService", "Corvane Monitor", "C:\\new.exe", kFixed, 0x110, 2);
              }));
    const auto after = host::FindService("CorvaneService");
    ASSERT_TRUE(after.has_value());
    EXPECT_EQ(before->imagePath, after->imagePath);
    EXPECT_EQ(before->state, after->state);
    EXPECT_EQ(0u, host::OpenHandleCount());
}

TEST_F(ServisesHostTest, CreationWithoutRightsNamesTheManager) {
    host::SetMemoryStoreWritable(false);
    EXPECT_EQ("Cannot open Service Control Manager\r\n" + SystemText(platform::kErrorAccessDenied),
              ErrorOf([] { servises::InstallService("Svc", "Svc", "C:\\svc.exe", kFixed, 0x110, 2); }));
    EXPECT_EQ(0u, host::OpenHandleCount());
}

}  // namespace
