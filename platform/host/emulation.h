// Shared state of the host emulation behind the test hooks: injected failures, the call log, the
// library's load count and the sleep recorder. Internal to platform/host.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform::host {

class Store;

namespace detail {

// The error queued for the next call of `entryPoint`, removed from the queue; 0 when none.
uint32_t TakeInjectedFailure(std::string_view entryPoint);

// Appends one line to the call log. `error` is 0 for a call that succeeded.
void LogCall(std::string_view entryPoint, std::string line, uint32_t error);

bool IsEntryPointHidden(std::string_view name);
uint32_t LibraryLoadFailure();
void AdjustLibraryLoads(int delta);
int LibraryLoads();

// Keeps the bytes of `dependencies` when KeepDependencyBytes asked for them.
void KeepDependencyBytesIfAsked(const char* dependencies);

// True when Sleep should record (and log) instead of sleeping; records `milliseconds` if so.
bool RecordSleepIfHooked(uint32_t milliseconds);

// The in-memory store a test installed, or nullptr for the on-disk store.
std::shared_ptr<Store> InstalledStore();

// Implemented by the service manager: its handle table, for the hooks.
std::size_t CountOpenHandles();
void DropAllHandles();

}  // namespace detail
}  // namespace platform::host
