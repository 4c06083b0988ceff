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

// Win32 error codes the emulation uses that errors.h does not name.
inline constexpr uint32_t kErrorMoreData = 234;
inline constexpr uint32_t kErrorInvalidAddress = 487;
inline constexpr uint32_t kErrorDiskFull = 112;
inline constexpr uint32_t kErrorGenFailure = 31;
inline constexpr uint32_t kErrorResourceLangNotFound = 15100;

// The error queued for the next call of `entryPoint`, removed from the queue; 0 when none.
uint32_t TakeInjectedFailure(std::string_view entryPoint);

// Appends one line to the call log. `error` is 0 for a call that succeeded.
void LogCall(std::string_view entryPoint, std::string line, uint32_t error);

bool IsEntryPointHidden(std::string_view name);
uint32_t LibraryLoadFailure();
void AdjustLibraryLoads(int delta);
int LibraryLoads();

// True when Sleep should record (and log) instead of sleeping; records `milliseconds` if so.
bool RecordSleepIfHooked(uint32_t milliseconds);

// The in-memory store a test installed, or nullptr for the on-disk store.
std::shared_ptr<Store> InstalledStore();

// Implemented by the service manager: its handle table, for the hooks.
std::size_t CountOpenHandles();
void DropAllHandles();

}  // namespace detail
}  // namespace platform::host
