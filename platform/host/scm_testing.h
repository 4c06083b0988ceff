// Test hooks of the host emulation. They reach the same service manager, library loader and sleep
// that the program uses: set up services and states, make calls fail, read what was called.
//
// The service manager keeps its services in a store: the on-disk store (see scm_store.h for its
// location and format) unless a test installs an in-memory one with UseMemoryStore().
//
// The call log has one line per emulated call, in this form ("#N" is a handle's number, counted
// from 1 after each ResetEmulation):
//   LoadLibraryA advapi32.dll -> ok            GetProcAddress OpenServiceA -> ok
//   FreeLibrary -> ok                          OpenSCManagerA 0xf003f -> #1
//   OpenSCManagerA \\host Bogus 0x1 -> error 123   (machine and database only when given)
//   OpenServiceA #1 CorvaneService 0x10024 -> #2  CreateServiceA #1 CorvaneService 0xf01ff -> #2
//   ControlService #2 1 -> state 3             QueryServiceStatus #2 -> state 1
//   DeleteService #2 -> ok                     StartServiceA #2 -> ok
//   EnumServicesStatusA #1 -> ok               CloseServiceHandle #2 -> ok
//   Sleep 1000                                 (only while sleeps are recorded)
// A failed call ends in "-> error N" instead.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/services.h"

namespace platform::host {

// A service as the emulated manager keeps it: as seeded by a test and as read back.
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

// One emulated call, as logged.
struct Call {
    std::string entryPoint;  // "OpenServiceA", "Sleep", ...
    std::string line;        // the whole log line, in the form above
    uint32_t error = 0;      // the last error it left on failure, 0 on success
};

// --- Stores -----------------------------------------------------------------------------------

// Installs a new, empty in-memory store; every later call uses it until ResetEmulation().
void UseMemoryStore();

// For the in-memory store: false makes the caller one without rights to change it, so opening the
// manager or a service with rights to change them fails with access denied, and so does a change
// that needs the store written (CreateServiceA through a manager opened before).
void SetMemoryStoreWritable(bool writable);

// The directory of the on-disk store, as the environment names it now.
std::string DiskStoreDirectory();

// Puts `entry` into the current store, replacing a service of the same name.
void SeedService(ServiceEntry entry);

// Reads a service back from the current store; nullopt when it is not there. Throws
// std::runtime_error when its record is damaged.
std::optional<ServiceEntry> FindService(std::string_view name);

// Every service of the current store, ordered by lower-case name. Throws like FindService.
std::vector<ServiceEntry> ListServices();

// --- Failures ---------------------------------------------------------------------------------

// Makes the next call of `entryPoint` fail with `error` before it does anything. Calls queue up:
// two calls make the next two calls fail. Entry points: LoadLibraryA, GetProcAddress,
// OpenSCManagerA, OpenServiceA, CreateServiceA, DeleteService, ControlService, QueryServiceStatus,
// CloseServiceHandle, StartServiceA, EnumServicesStatusA; any other name throws
// std::invalid_argument.
void FailNextCall(std::string_view entryPoint, uint32_t error);

// GetProcAddress finds no entry point of this name (it fails with 127).
void HideEntryPoint(std::string_view name);

// The next CreateServiceA keeps the bytes of its dependency list from its start through the NUL
// that closes its first empty name, and `extraBytes` bytes beyond it, which the caller must own:
// the bytes the emulation itself never reads.
void KeepDependencyBytes(std::size_t extraBytes);

// The bytes kept by the last CreateServiceA after KeepDependencyBytes; empty when none were.
std::string KeptDependencyBytes();

// Every LoadLibraryA fails with `error` until ResetEmulation().
void FailLibraryLoad(uint32_t error);

// Loads of the library not yet released with FreeLibrary.
int LibraryLoadCount();

// --- Logs -------------------------------------------------------------------------------------

std::vector<Call> CallLog();

// The log lines only, for comparing with a list of expected lines.
std::vector<std::string> CallTrace();

// The log lines of one entry point only.
std::vector<std::string> CallTrace(std::string_view entryPoint);

// Service-manager handles opened and not closed yet.
std::size_t OpenHandleCount();

// From now on Sleep records its duration (and logs "Sleep N") instead of sleeping.
void RecordSleeps();

// While sleeps are recorded, runs `action` once, as the `count`th sleep is recorded: what another
// process does while the caller sleeps.
void AfterSleep(std::size_t count, std::function<void()> action);

// The durations Sleep was asked for while recording, in order.
std::vector<uint32_t> RecordedSleeps();

// Everything back as at start: the on-disk store, no failures queued, nothing hidden, empty logs,
// real sleeps, handle numbers from 1. Handles still open become invalid.
void ResetEmulation();

// For a test's lifetime: a reset emulation with an empty in-memory store and recorded sleeps;
// reset again at its end.
class EmulationScope {
public:
    EmulationScope();
    ~EmulationScope();
    EmulationScope(const EmulationScope&) = delete;
    EmulationScope& operator=(const EmulationScope&) = delete;
};

}  // namespace platform::host
