// The service-control unit: removal and creation of services through the service control manager,
// whose entry points are bound at run time, once per process.
#pragma once

#include <cstdint>
#include <string>

#include "platform/exception.h"

namespace servises {

// Service names, each followed by one NUL, the list closed by an empty name (one more NUL).
using DependencyList = std::string;

// The unit's one error class. Its message is complete for display: the step that failed and, on a
// second line, the system's text for the error code.
class EServiceError : public platform::Exception {
public:
    using Exception::Exception;
};

// The library the entry points are taken from: "advapi32.dll".
extern std::string ServiceLibraryName;

// The unit's start (before anything else of it is used) and stop (after its last use).
void StartUnit();
void StopUnit() noexcept;

// True when the library is loaded and all seven entry points are present. The first call loads and
// looks up; a failed load is never tried again.
bool ServiceApiAvailable();

// The system's text for the calling thread's last error code, as the system gives it (its line end
// included); "System error N.\r\n" where the system has none.
std::string LastErrorText();

// Stops the service if it runs, waits up to about 21 seconds for it to stop, deletes it, and waits
// up to 20 seconds more for its registration to go while other programs still hold it open, on
// the named machine (the local one when `machineName` is empty). A service that refuses the stop
// request for any reason but not running is left registered as it was. A service already marked
// for deletion is waited for in the same way. Throws EServiceError.
void RemoveServiceOn(const std::string& machineName, const std::string& serviceName);

// RemoveServiceOn on the local machine.
void RemoveService(const std::string& serviceName);

// Registers a service on the local machine, stopped, with error control normal and the system's own
// account. Takes `dependencies` by value: the caller's list is left as it is. Throws EServiceError.
void InstallService(const std::string& serviceName, const std::string& displayName,
                    const std::string& binaryPath, DependencyList dependencies, uint32_t serviceType,
                    uint32_t startType);

}  // namespace servises
