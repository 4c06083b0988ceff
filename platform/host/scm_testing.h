// Test hooks of the host emulation, in a library that only the tests link. A test makes an
// Emulation: a fresh service manager (scm_model.h) that the platform's entry points use for the
// Emulation's lifetime. Its store, call log, faults and clock are plain fields of `manager`; the
// functions below read and set them on the active manager.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host/scm_model.h"

namespace platform::host {

// A new, empty store in memory. A store made read-only (`writable` false) treats the caller as one
// without rights to change it: opening the manager or a service with rights to change them fails
// with access denied, and so does a change that needs the store written.
std::shared_ptr<Store> MakeMemoryStore();
void SetMemoryStoreWritable(Store& store, bool writable);

// Where a new Emulation keeps its services.
enum class EmulatedStore {
    Memory,  // a fresh store in memory; sleeps are recorded, not slept
    Disk,    // the on-disk store the environment names (scm_store.h); sleeps take real time
};

class Emulation {
public:
    explicit Emulation(EmulatedStore store = EmulatedStore::Memory);
    // Closes the handles a test left open, as the program would, and puts the manager that was
    // active before back behind the entry points.
    ~Emulation();
    Emulation(const Emulation&) = delete;
    Emulation& operator=(const Emulation&) = delete;

    // With recorded sleeps: runs `action` once, as the `count`th sleep is recorded, which is what
    // another process does while the caller sleeps.
    void AfterSleep(std::size_t count, std::function<void()> action);

    ServiceManager manager;

private:
    ServiceManager* previous_;
    std::map<std::size_t, std::function<void()>> sleepActions_;
};

// --- The active manager's store ----------------------------------------------------------------

// For its in-memory store: see SetMemoryStoreWritable above.
void SetMemoryStoreWritable(bool writable);

// The directory of the on-disk store, as the environment names it now.
std::string DiskStoreDirectory();

// Puts `entry` into the store, replacing a service of the same name.
void SeedService(ServiceEntry entry);

// Reads a service back from the store; nullopt when it is not there. Throws std::runtime_error
// when its record is damaged.
std::optional<ServiceEntry> FindService(std::string_view name);

// Every service of the store, ordered by lower-case name. Throws like FindService.
std::vector<ServiceEntry> ListServices();

// --- Its faults and logs -----------------------------------------------------------------------

// Makes the next call of `entryPoint` fail with `error` before it does anything; faults queue up.
void FailNextCall(EntryPoint entryPoint, uint32_t error);

// GetProcAddress finds no entry point of this name (it fails with 127).
void HideEntryPoint(std::string_view name);

// Every LoadLibraryA fails with `error`.
void FailLibraryLoad(uint32_t error);

int LibraryLoadCount();

std::vector<Call> CallLog();

// The log lines only, for comparing with a list of expected lines.
std::vector<std::string> CallTrace();

// The log lines of one entry point only.
std::vector<std::string> CallTrace(EntryPoint entryPoint);

// The dependency list the last CreateServiceA read, through its closing NUL.
std::string DependenciesRead();

std::size_t OpenHandleCount();

// The durations Sleep was asked for, in order.
std::vector<uint32_t> RecordedSleeps();

}  // namespace platform::host
