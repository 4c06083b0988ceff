// The emulated service manager: its record of a service and the one object that holds its state
// (store, handle table, call log, injected faults and clock). The platform's entry points act on
// the active manager, which is the process's default one unless a test puts its own there.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/library.h"
#include "platform/services.h"

namespace platform::host {

class Store;

// A service as the manager keeps it.
//
// The record's format, one file or map entry per service: "Key=Value" lines, each ending in LF:
//   Name, DisplayName, Type, Start, ErrorControl, ImagePath, DependOnService (one line per name, in
//   order), ObjectName, State, StopPending (0 when absent), ControlsAccepted (1 when absent),
//   StateAfterStop (1 when absent), MarkedForDelete (1, or absent), PendingQueries (0 when absent),
//   OpenHandle (one line per open service handle: the id of the process holding it).
// Numbers are decimal. A value is kept byte for byte, backslashes and all, so that Windows paths
// read as they are written; a value holding a CR or LF is written instead as "Key*=Value", in which
// "%0D", "%0A" and "%25" stand for CR, LF and '%' (any "%XX" but "%00" is read back as that byte).
// No value holds a NUL: the service manager's strings end at the first one.
// Blank lines are ignored; any other line that is not a known key, a bad number or "%" escape, a
// CR or NUL, a repeated key, or a missing or invalid Name makes the record damaged
// (ERROR_INVALID_DATA), never silently dropped or rewritten. A record is at most 32 MiB: a larger
// one is refused when written (ERROR_NOT_ENOUGH_MEMORY) and read as damaged.
struct ServiceEntry {
    std::string name;                      // its own case; names compare without regard to case
    std::string displayName;               // empty when seeded: the name is used
    uint32_t type = kServiceWin32OwnProcess;
    uint32_t start = kServiceDemandStart;
    uint32_t errorControl = kServiceErrorNormal;
    std::string imagePath = "C:\\Program Files\\Example\\service.exe";
    std::vector<std::string> dependencies;  // as handed over, in order
    std::string objectName = "LocalSystem";
    uint32_t state = kServiceStopped;
    // How many status queries after an accepted stop still report stop-pending: 0 reports stopped
    // at the first query, -1 never stops.
    int32_t stopPending = 0;
    uint32_t controlsAccepted = kServiceAcceptStop;  // what the service accepts while it runs
    // The state its stop ends in: stopped, or another for a service that fails to stop.
    uint32_t stateAfterStop = kServiceStopped;
    bool markedForDelete = false;
    // Bookkeeping: stop-pending reports given since the stop, and the process id behind each open
    // service handle recorded in the store.
    uint32_t pendingQueries = 0;
    std::vector<int> openHandles;
};

// A name the manager takes for a service: not empty, no '/' or '\'.
bool ValidServiceName(std::string_view name);

// The emulated calls, as logged and as faults name them.
enum class EntryPoint {
    LoadLibraryA,
    GetProcAddress,
    FreeLibrary,
    OpenSCManagerA,
    OpenServiceA,
    CreateServiceA,
    DeleteService,
    ControlService,
    QueryServiceStatus,
    CloseServiceHandle,
    StartServiceA,
    EnumServicesStatusA,
    Sleep,
};

std::string_view EntryPointName(EntryPoint entryPoint);

// One emulated call, as logged. The line has one of these forms ("#N" is a handle's number, counted
// from 1 for each manager):
//   LoadLibraryA advapi32.dll -> ok            GetProcAddress OpenServiceA -> ok
//   FreeLibrary -> ok                          OpenSCManagerA 0xf003f -> #1
//   OpenSCManagerA \\host 0xf003f -> error 1722   (the machine only when given)
//   OpenServiceA #1 CorvaneService 0x10024 -> #2  CreateServiceA #1 CorvaneService 0xf01ff -> #2
//   ControlService #2 1 -> state 3             QueryServiceStatus #2 -> state 1
//   DeleteService #2 -> ok                     CloseServiceHandle #2 -> ok
//   Sleep 1000
// A failed call ends in "-> error N" instead.
struct Call {
    EntryPoint entryPoint;
    std::string line;
    uint32_t error = 0;  // the last error it left on failure, 0 on success
    // For CreateServiceA: the dependency list as the manager read it, through the NUL that closes
    // its first empty name.
    std::string dependencies;
};

// Makes the next call of `entryPoint` fail with `error` before it does anything.
struct Fault {
    EntryPoint entryPoint;
    uint32_t error;
};

class ServiceManager {
public:
    ServiceManager();
    ~ServiceManager();
    ServiceManager(const ServiceManager&) = delete;
    ServiceManager& operator=(const ServiceManager&) = delete;

    // The store of the local machine; null: the on-disk store (scm_store.h), opened at each
    // OpenSCManagerA, remote machines included.
    std::shared_ptr<Store> store;
    std::vector<Call> log;
    // Taken in order: the first fault of a call's entry point fails that call.
    std::vector<Fault> faults;
    // GetProcAddress finds no entry point of these names.
    std::vector<std::string> hiddenEntryPoints;
    // Every LoadLibraryA fails with this error when it is not 0.
    uint32_t libraryLoadFailure = 0;
    // Loads of the library not yet released with FreeLibrary.
    int libraryLoads = 0;
    // The durations Sleep was asked for, in order.
    std::vector<uint32_t> sleeps;
    // Lets the time of one Sleep pass; empty: the real time passes.
    std::function<void(uint32_t milliseconds)> clock;

    ModuleHandle LoadLibraryA(const char* fileName);
    GenericProc GetProcAddress(ModuleHandle module, const char* procName);
    void FreeLibrary(ModuleHandle module);

    ScHandle OpenSCManagerA(const char* machineName, const char* databaseName, uint32_t desiredAccess);
    ScHandle OpenServiceA(ScHandle manager, const char* serviceName, uint32_t desiredAccess);
    ScHandle CreateServiceA(ScHandle manager, const char* serviceName, const char* displayName,
                            uint32_t desiredAccess, uint32_t serviceType, uint32_t startType,
                            uint32_t errorControl, const char* binaryPathName, uint32_t* tagId,
                            const char* dependencies, const char* serviceStartName);
    bool DeleteService(ScHandle service);
    bool ControlService(ScHandle service, uint32_t control, ServiceStatus* status);
    bool QueryServiceStatus(ScHandle service, ServiceStatus* status);
    bool CloseServiceHandle(ScHandle handle);
    // Bound by the program but never called by it: they fail with ERROR_CALL_NOT_IMPLEMENTED.
    bool StartServiceA(ScHandle service);
    bool EnumServicesStatusA(ScHandle manager);

    void Sleep(uint32_t milliseconds);

    // Service-manager handles opened and not closed yet.
    std::size_t OpenHandleCount() const;
    // Closes every open handle as the program would, so the store keeps no record of them.
    void CloseAllHandles();

private:
    struct Handle;
    struct HandleTable;

    uint32_t TakeFault(EntryPoint entryPoint);
    // Logs the call and, when it failed, sets the last error, last.
    void Finish(EntryPoint entryPoint, std::string_view arguments, uint32_t error, std::string_view result,
                std::string dependencies = {});
    std::string HandleText(ScHandle handle) const;
    uint32_t FindHandle(ScHandle handle, bool service, Handle& found) const;
    ScHandle AddHandle(Handle handle);
    uint32_t OpenManager(const char* machine, const char* database, uint32_t desiredAccess, ScHandle& handle);
    uint32_t OpenService(ScHandle managerHandle, const char* name, uint32_t desiredAccess, ScHandle& handle);
    uint32_t CreateService(ScHandle managerHandle, const char* name, const char* displayName,
                           uint32_t desiredAccess, uint32_t type, uint32_t start, uint32_t errorControl,
                           const char* path, const std::vector<std::string>& dependencies,
                           const char* startName, ScHandle& handle);
    uint32_t CloseHandle(ScHandle handle);
    uint32_t Stop(ScHandle handle, ServiceStatus* status);
    uint32_t Query(ScHandle handle, ServiceStatus* status);
    uint32_t Delete(ScHandle handle);

    // Guards the handle table and the log: a test's other threads may call in.
    mutable std::mutex mutex_;
    std::unique_ptr<HandleTable> handles_;
};

// A manager a test put behind the platform's entry points; null: the process's default one, on the
// on-disk store, in real time.
extern ServiceManager* InstalledServiceManager;

// The manager behind the platform's entry points.
ServiceManager& ActiveServiceManager();

}  // namespace platform::host
