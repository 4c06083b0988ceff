// The service control manager's calls, with the platform's names and argument order.
//
// The seven entry points that callers bind at run time are described here only as function-pointer
// types; callers obtain them with GetProcAddress from the library "advapi32.dll" (see library.h).
// CreateServiceA and DeleteService are ordinary imports.
#pragma once

#include <cstdint>

#include "platform/callconv.h"

namespace platform {

// An open handle of the service manager or of a service. nullptr is "no handle".
struct ScHandleObject;
using ScHandle = ScHandleObject*;

// The platform's seven-field status record, field for field.
struct ServiceStatus {
    uint32_t serviceType = 0;
    uint32_t currentState = 0;
    uint32_t controlsAccepted = 0;
    uint32_t win32ExitCode = 0;
    uint32_t serviceSpecificExitCode = 0;
    uint32_t checkPoint = 0;
    uint32_t waitHint = 0;
};

// Access rights, control codes, states and configuration values, with the platform's values.
inline constexpr uint32_t kScManagerConnect = 0x0001;
inline constexpr uint32_t kScManagerCreateService = 0x0002;
inline constexpr uint32_t kScManagerEnumerateService = 0x0004;
inline constexpr uint32_t kScManagerAllAccess = 0xF003F;

inline constexpr uint32_t kServiceQueryConfig = 0x0001;
inline constexpr uint32_t kServiceChangeConfig = 0x0002;
inline constexpr uint32_t kServiceQueryStatus = 0x0004;
inline constexpr uint32_t kServiceEnumerateDependents = 0x0008;
inline constexpr uint32_t kServiceStart = 0x0010;
inline constexpr uint32_t kServiceStop = 0x0020;
inline constexpr uint32_t kServicePauseContinue = 0x0040;
inline constexpr uint32_t kServiceInterrogate = 0x0080;
inline constexpr uint32_t kServiceUserDefinedControl = 0x0100;
inline constexpr uint32_t kDeleteAccess = 0x00010000;
inline constexpr uint32_t kServiceAllAccess = 0xF01FF;

inline constexpr uint32_t kServiceControlStop = 1;
inline constexpr uint32_t kServiceControlInterrogate = 4;

inline constexpr uint32_t kServiceStopped = 1;
inline constexpr uint32_t kServiceStartPending = 2;
inline constexpr uint32_t kServiceStopPending = 3;
inline constexpr uint32_t kServiceRunning = 4;
inline constexpr uint32_t kServiceContinuePending = 5;
inline constexpr uint32_t kServicePausePending = 6;
inline constexpr uint32_t kServicePaused = 7;

inline constexpr uint32_t kServiceAcceptStop = 0x0001;

inline constexpr uint32_t kServiceWin32OwnProcess = 0x0010;
inline constexpr uint32_t kServiceInteractiveProcess = 0x0100;
inline constexpr uint32_t kServiceAutoStart = 2;
inline constexpr uint32_t kServiceDemandStart = 3;
inline constexpr uint32_t kServiceErrorNormal = 1;

// The entry points bound at run time, in the platform's calling convention.
using OpenSCManagerAProc = ScHandle(PLATFORM_API*)(const char* machineName, const char* databaseName,
                                                   uint32_t desiredAccess);
using OpenServiceAProc = ScHandle(PLATFORM_API*)(ScHandle manager, const char* serviceName,
                                                 uint32_t desiredAccess);
using ControlServiceProc = int(PLATFORM_API*)(ScHandle service, uint32_t control, ServiceStatus* status);
using CloseServiceHandleProc = int(PLATFORM_API*)(ScHandle handle);
using EnumServicesStatusAProc = int(PLATFORM_API*)(ScHandle manager, uint32_t serviceType,
                                                   uint32_t serviceState, void* services,
                                                   uint32_t bufferSize, uint32_t* bytesNeeded,
                                                   uint32_t* servicesReturned, uint32_t* resumeHandle);
using StartServiceAProc = int(PLATFORM_API*)(ScHandle service, uint32_t argumentCount,
                                             const char** arguments);
using QueryServiceStatusProc = int(PLATFORM_API*)(ScHandle service, ServiceStatus* status);

// Creates a service; returns its handle, or nullptr with the last error set. `dependencies` is a
// list of NUL-terminated names closed by an empty name, or nullptr.
ScHandle CreateServiceA(ScHandle manager, const char* serviceName, const char* displayName,
                        uint32_t desiredAccess, uint32_t serviceType, uint32_t startType,
                        uint32_t errorControl, const char* binaryPathName, const char* loadOrderGroup,
                        uint32_t* tagId, const char* dependencies, const char* serviceStartName,
                        const char* password);

// Deletes the service, or marks it for deletion while it runs or has other handles open.
// Returns false with the last error set on failure.
bool DeleteService(ScHandle service);

}  // namespace platform
